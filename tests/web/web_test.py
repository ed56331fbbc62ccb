"""tavelor-web against tavelor-server --sim on loopback: every page in a real browser, the stream
as a page's program speaks it, and the Windows program under Wine."""
import http.server, json, os, select, shutil, signal, socket, struct, subprocess, threading, unittest

from harness import BIN, Browser, Program, Stack, free_port, wait_until
from wsclient import Stream


class Pages(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.stack, cls.browser = Stack(), Browser()

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()
        cls.stack.close()

    def show(self, page):
        self.browser.open(self.stack.url(page))
        wait_until(lambda: self.browser.js("document.body.dataset.server") == "up", 5, f"{page}'s stream")

    def test_every_page_shows_what_the_simulator_holds(self):
        with open("../../README.md") as readme, open("../../src/web/pages/example.html") as example:
            self.assertIn(example.read(), readme.read(), "the README's example page is example.html")
        rpm = struct.pack("<d", 2400).hex()
        for command in ("set com1 118.50", "set heading 90", "set altitude 4500", f"poke 2400 {rpm}", "set ap_alt 6500"):
            self.assertEqual(self.stack.sim(command), "OK")
        for page, field, shown in [("radio.html", "com1", "118.50"), ("hsi.html", "heading", "090"),
                                   ("pfd.html", "heading", "090"), ("pfd.html", "alt", "4500"),
                                   ("map.html", "heading", "090"), ("map.html", "alt", "4500"),
                                   ("engine.html", "rpm", "2400"), ("example.html", "com1", "118.50"),
                                   ("autopilot.html", "ap_alt", "6500"), ("index.html", None, None)]:
            with self.subTest(page=page, field=field):
                self.show(page)
                if field:
                    wait_until(lambda: self.browser.field(field) == shown, 5, f"{field} to show {shown}")
                self.assertEqual(self.browser.errors, [])
                self.assertLessEqual(self.browser.js("document.documentElement.scrollHeight"), 800, "a tablet scrolls")
        self.assertIn('href="autopilot.html"', self.stack.get("index.html").decode(), "the index links every page")

    def test_no_two_words_of_a_gauge_overlap_and_its_pointer_hides_no_figure(self):
        self.show("engine.html")
        wait_until(lambda: self.browser.js(self.all_shown), 5, "every value")
        # Pairs of overlapping texts, then figures reaching the ring the pointer sweeps (the
        # pointer turns about the centre its transform names).
        self.assertEqual(self.browser.js("""[...document.querySelectorAll('.gauge')].flatMap((g) => {
            const boxes = [...g.querySelectorAll('text')].map((t) => [t.textContent, t.getBoundingClientRect()]);
            const pointer = g.querySelector('polygon, line'), box = pointer.getBBox();
            const [, cx, cy] = pointer.getAttribute('transform').match(/[-\\d.]+/g).map(Number);
            const inside = cy - (box.y + box.height);  // NaN (no centre found) fails every figure below
            return [...boxes.flatMap(([a, p], i) => boxes.slice(i + 1).filter(([, q]) => p.left < q.right
                      && q.left < p.right && p.top < q.bottom && q.top < p.bottom).map(([b]) => `${a} on ${b}`)),
                    ...[...g.querySelectorAll('.figure')].filter((t) => { const b = t.getBBox();
                      return !(Math.hypot(Math.max(cx - b.x, b.x + b.width - cx), Math.max(cy - b.y, b.y + b.height - cy)) < inside);
                    }).map((t) => `the pointer on ${t.textContent}`)]; })"""), [])

    all_shown = "[...document.querySelectorAll('[data-field]')].every(e => !/^-+$/.test(e.textContent))"

    def test_the_formats_at_their_edges(self):
        """Just below a whole degree, minute and hour, below zero, at zero and at the limits; texts
        are left as texts by the formats that write numbers."""
        cases = [("lat", 40.99999, "N41°00.00'"), ("lat", 40.999, "N40°59.94'"), ("lat", -0.000001, "N00°00.00'"),
                 ("lat", -90, "S90°00.00'"), ("lon", -179.999999, "W180°00.00'"), ("lon", 0.5, "E000°30.00'"),
                 ("clock", 59.6, "1:00"), ("clock", 3599.5, "60:00"), ("clock", -3, "-0:03"), ("clock", -61, "-1:01"),
                 ("clock", -0.4, "0:00"), ("clock", 0, "0:00"), ("heading", 359.5, "360"), ("heading", -0.4, "360"),
                 ("heading", -10, "350"), ("heading", 720.4, "360"), ("signed", -0.4, "0"), ("needle", 128, "-128"),
                 ("needle", 255, "-1"), ("heading", "7000", "7000"), ("lat", " 12.3", "12.3"), ("id", "--DST", "DST")]
        self.show("radio.html")
        shown = self.browser.js(f"{json.dumps(cases)}.map(([format, value]) => {{ const e = document.createElement('span');"
                                " e.dataset.format = format; return Tavelor.show(e, value); })")
        self.assertEqual(list(zip([c[:2] for c in cases], shown)), [(c[:2], c[2]) for c in cases])

    def test_every_page_fits_a_tablet_and_a_phone(self):
        """Held either way: no sideways scrolling, and no word outside its drawing or the page."""
        outside = """[...document.querySelectorAll('text, [data-field], button, h1')].filter(e => e.getClientRects().length)
            .filter(e => { const r = e.getBoundingClientRect(), svg = e.closest('svg'), box = svg && svg.getBoundingClientRect();
              return r.right > innerWidth + 0.5 || r.left < -0.5 || (box && (r.top < box.top - 0.5 || r.bottom > box.bottom + 0.5
                || r.left < box.left - 0.5 || r.right > box.right + 0.5)); }).map(e => e.textContent.trim().slice(0, 20))"""
        self.addCleanup(self.browser.size, 1280, 800)
        for width, height in [(1280, 800), (800, 1280), (390, 844)]:
            self.browser.size(width, height)
            for page in ("index.html", "radio.html", "hsi.html", "pfd.html", "map.html", "engine.html", "autopilot.html"):
                with self.subTest(page=page, width=width):
                    self.show(page)
                    wait_until(lambda: self.browser.js(self.all_shown), 5, "every value")
                    self.assertLessEqual(self.browser.js("document.documentElement.scrollWidth"), width, "sideways scrolling")
                    self.assertEqual(self.browser.js(outside), [])

    def test_gauges_lights_and_clocks_in_cockpit_units(self):
        for command in ("poke 0BDC 1515", "poke 0238 0E", "poke 0239 00", "poke 3122 94", "set ap_mach 0.5"):
            self.assertEqual(self.stack.sim(command), "OK")
        self.show("engine.html")  # flaps at 5461 of 16383: the C172's 10 degrees; local 14:00
        wait_until(lambda: (self.browser.field("flaps"), self.browser.field("time_local")) == ("10\u00b0", "14:00"), 5,
                   "the flaps in degrees and the local time")
        self.assertIn("GAL/H", self.browser.js("document.body.textContent"))
        self.show("radio.html")  # COM1, NAV1 and the marker beacons heard
        wait_until(lambda: self.browser.js("[...document.querySelectorAll('#audio .on')].map(e => e.textContent).join()")
                   == "COM1,NAV1,MKR", 5, "the audio selector's lights")
        self.show("autopilot.html")  # at rest no speed target is the reference; with the speed hold, the mode's
        lit = "[...document.querySelectorAll('.target.reference .label')].map(e => e.textContent).slice(0, 1).join()"
        for hold, reference in (("0", ""), ("1", "MACH")):
            self.assertEqual(self.stack.sim(f"set ap_airspeed_hold {hold}"), "OK")
            wait_until(lambda: self.browser.js(lit) == reference, 5, f"the reference {reference or 'none'}")

    def test_the_index_page_shows_its_address_as_a_qr_code(self):
        # tavelor-web listens on loopback here; a machine's address is what it would give.
        self.browser.answer("/address.json", {"url": "http://192.168.1.20:9080/", "local": "http://cockpit.local:9080/"})
        self.addCleanup(self.browser.call, "Fetch.disable", session=True)
        self.show("index.html")
        wait_until(lambda: self.browser.js("!document.getElementById('tablet').hidden"), 5, "the QR code")
        self.assertEqual(self.browser.js("document.getElementById('qr').dataset.url"), "http://192.168.1.20:9080/")
        self.assertEqual(self.browser.js("document.querySelectorAll('#qr svg path, #qr svg rect').length > 0"), True)
        self.assertIn("cockpit.local", self.browser.js("document.getElementById('tablet').textContent"))
        self.assertEqual(self.browser.errors, [])

    def test_a_tap_reaches_the_simulators_memory_and_the_page_shows_it(self):
        # The page, the stand-in set up before, the button, the value the stand-in then holds,
        # and the field that shows it. A target steps from what the panel shows rounded to its
        # step: the altitude APAL 05600 left, shown as 5601, goes to 5700, not 5701.
        for page, setup, button, (name, value), field, shown in [
                ("radio.html", ["set com1 118.50", "poke 311A 5021"], "[data-swap=COM1]", ("com1", "121.50"), "com1", "121.50"),
                ("autopilot.html", ["set ap_heading 355"], '[data-target=ap_heading][data-by="10"]', ("ap_heading", "5"),
                 "ap_heading", "005"),
                ("autopilot.html", ["set ap_alt 5600.5"], '[data-target=ap_alt][data-by="100"]', ("ap_alt", "5700.5"),
                 "ap_alt", "5700"),
                ("autopilot.html", ["set ap_vs 0"], '[data-target=ap_vs][data-by="-500"]', ("ap_vs", "-500"), "ap_vs", "-500"),
                ("autopilot.html", ["set ap_mach 0.5"], '[data-target=ap_mach][data-by="1"]', ("ap_mach", "0.510"),
                 "ap_mach", "0.51"),
                ("autopilot.html", ["set ap_master 1", "set ap_nav_hold 1"], "[data-mode=HDG]", ("ap_heading_hold", "1"),
                 "ap", "10000100000")]:
            with self.subTest(page=page, button=button):
                for command in setup:
                    self.assertEqual(self.stack.sim(command), "OK")
                self.show(page)
                wait_until(lambda: self.browser.js(self.all_shown), 5, "every value")
                self.browser.tap(button)
                wait_until(lambda: self.stack.sim(f"get {name}") == f"OK {value}", 5, f"{name} {value} in memory")
                wait_until(lambda: self.browser.field(field) == shown, 5, f"{field} to show {shown}")
        self.assertEqual(self.stack.sim("peek 311A 2"), "OK 5018")


class StreamTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.stack = Stack()
        cls.schema = json.loads(cls.stack.get("schema.json"))
        cls.codes = [reply["code"] for reply in cls.schema]

    @classmethod
    def tearDownClass(cls):
        cls.stack.close()

    def stream(self, port=None, **options):
        stream = Stream(port or self.stack.port, **options)
        self.addCleanup(stream.close)
        self.assertEqual(stream.receive(), {"link": "up"})
        return stream

    def reply(self, stream, code):
        return stream.wait_for(lambda m: m.get("code") == code)

    def test_every_field_of_every_code_is_named_and_typed(self):
        stream = self.stream()
        stream.send({"subscribe": self.codes, "hz": 20})
        replies = {code: self.reply(stream, code) for code in self.codes}
        for reply in self.schema:
            with self.subTest(code=reply["code"]):
                message = replies[reply["code"]]
                self.assertEqual(list(message["fields"]), [field["name"] for field in reply["fields"]])
                for field in reply["fields"]:
                    self.assertIsInstance(message["fields"][field["name"]], (int, float) if field["numeric"] else str)
                self.assertEqual(message["line"].count(":"), len(reply["fields"]))
        # The parked aircraft, in the table's units: numbers as they read, texts as the line has them.
        for code, name, value in [("RADI", "dme1", 12.3), ("RADI", "com2", 119.1), ("RADI", "transponder", "7000"),
                                  ("HSI", "dme1", 1230), ("FMS", "lat", 40.5), ("FMS", "lon", -3.75),
                                  ("PFD", "qnh", 1013), ("MAPS", "gps_id", "     ")]:
            self.assertEqual(replies[code]["fields"][name], value, f"{code} {name}")

    def test_the_stream_and_the_probe_give_the_same_named_values(self):
        # Traffic slot 1 with a latitude that is not a number and a call sign with a byte of the
        # simulator's code page; NAV1's identifier with one too.
        for poke in ("poke F080 010000000000C07F", "poke F096 4142E9", "poke 3000 43E94E"):
            self.assertEqual(self.stack.sim(poke), "OK")
        stream = self.stream()
        stream.send({"subscribe": ["MAPS", "PFD"], "hz": 20})
        for code in ("MAPS", "PFD"):
            with self.subTest(code=code):
                message = self.reply(stream, code)
                probe = subprocess.run([f"{BIN}/tavelor-probe", "--port", str(self.stack.server_port), "--json", code],
                                       capture_output=True, timeout=10)
                self.assertEqual(json.loads(probe.stdout), message)
                self.assertEqual(probe.returncode, 1 if code == "MAPS" else 0)
        self.assertEqual(message["fields"]["nav1_id"], "C\u00e9N--")
        maps = self.reply(stream, "MAPS")
        self.assertEqual((maps["fields"]["tcas01_lat"], maps["unreadable"]), (None, ["tcas01_lat"]))
        self.assertEqual(maps["fields"]["tcas01_call"], "AB\u00e9" + " " * 12)
        for poke in ("poke F080 00000000", "poke 3000 000000"):
            self.stack.sim(poke)

    def test_pages_that_want_a_code_share_its_requests(self):
        pages = [self.stream() for _ in range(4)]
        for page, hz in zip(pages, (10, 10, 10, 5)):
            page.send({"subscribe": ["RADI"], "hz": hz})
            self.reply(page, "RADI")
        self.stack.exchanges()
        for _ in range(10):  # a second at 10 Hz
            self.reply(pages[0], "RADI")
        self.assertLessEqual(self.stack.exchanges(), 13)  # each page asking for itself: 35

    def test_a_page_cannot_drive_the_stand_ins_control_channel(self):
        """Any page the user visits (here one served from this machine, without our pages' content
        policy) can have the browser post to the control channel; its commands, quit among them,
        must not run."""
        site = http.server.ThreadingHTTPServer(("127.0.0.1", 0), http.server.BaseHTTPRequestHandler)
        threading.Thread(target=site.serve_forever, daemon=True).start()
        self.addCleanup(site.shutdown)
        browser = Browser()
        self.addCleanup(browser.close)
        browser.open(f"http://127.0.0.1:{site.server_port}/")
        browser.js(f"fetch('http://127.0.0.1:{self.stack.control_port}/', {{method: 'POST', mode: 'no-cors', "
                   "body: 'set com1 121.50\\npoke 0330 FFFF\\nquit\\n'}).catch(() => 0)")
        self.stack.server.wait_line("control client refused: it spoke HTTP")
        self.assertEqual(self.stack.sim("get com1"), "OK 118.25")
        self.assertNotEqual(self.stack.sim("peek 0330 2"), "OK FFFF")

    def test_before_the_panel_server_listens_it_says_it_waits(self):
        port = free_port()
        web = Program([f"{BIN}/tavelor-web", "--server", f"127.0.0.1:{port}", "--bind", "127.0.0.1", "--port", "0",
                       "--sim-control", "0"])
        self.addCleanup(web.stop)
        web.wait_line(rf"Waiting for the panel server at 127\.0\.0\.1:{port} \(.*; it listens once it has found its simulator\)")
        self.assertFalse([line for line in web.lines if "not reachable" in line or "Error" in line])

    def test_tavelor_web_stops_in_order_with_a_page_open(self):
        for signal_number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            web, port = self.stack.start_web()
            page = Stream(port)
            self.addCleanup(page.close)
            page.send({"subscribe": ["RADI"], "hz": 10})
            self.reply(page, "RADI")
            self.assertEqual(web.stop(signal_number), 0, web.lines[-3:])
            self.assertIn("- Stopped\n", web.lines)

    def test_a_send_is_confirmed_only_once_the_server_has_handled_it(self):
        stream = self.stream()
        for id, (request, memory) in enumerate([("COM1 119.00 121.50", "OK 119.00"), ("xxCOM1 118.25 121.50", "OK 118.25")]):
            stream.send({"send": request, "id": id})
            self.assertEqual(stream.wait_for(lambda m: "sent" in m), {"sent": "COM1", "id": id, "ok": True})
            self.assertEqual(self.stack.sim("get com1"), memory)
        stream.send({"send": "ZZZZ 1"})
        self.assertEqual(stream.wait_for(lambda m: "sent" in m)["ok"], False)
        # refused by tavelor-web itself (the last: the server would drop it), confirmed all the same
        for request in ("V100", "RADI", "COM1 118.50\r\n121.50", "COM1 1G8.50 121.50"):
            stream.send({"send": request, "id": 9})
            self.assertEqual({**stream.wait_for(lambda m: "sent" in m), "error": ""}, {"sent": request[:4], "id": 9, "ok": False, "error": ""})

    def test_a_bad_message_is_answered_and_changes_nothing(self):
        stream = self.stream()
        stream.send({"subscribe": ["RADI"], "hz": 10})
        self.reply(stream, "RADI")
        for message in ["{not json", "[]", {"subscribe": ["NOPE"]}, {"subscribe": "RADI"}, {"subscribe": ["RADI"], "hz": 21},
                        {"subscribe": ["RADI"], "hz": 0}, {"send": "COM1 118.50\r\n121.50"}, {"send": "RADI"},
                        {"send": "PLAN KMAD"}, {"send": "V100"}, {"send": 5}, {"send": "COM1 1", "id": [1]}]:
            with self.subTest(message=message):
                stream.send(message)
                self.assertIn("error", stream.wait_for(lambda m: "code" not in m))
        self.reply(stream, "RADI")
        self.assertEqual(self.stack.sim("get com1")[:3], "OK ")

    def test_only_this_servers_pages_may_open_the_stream(self):
        port = self.stack.port
        for origin, host, status in [(None, None, 101), (f"http://127.0.0.1:{port}", None, 101),
                                     (f"http://LOCALHOST:{port}", None, 101), (f"http://10.1.2.3:{port}", f"10.1.2.3:{port}", 101),
                                     ("http://evil.example", None, 403), (f"http://127.0.0.1:{port + 1}", None, 403),
                                     ("null", None, 403), (f"http://evil.example:{port}", f"evil.example:{port}", 403),
                                     (f"http://10.1.2.3:{port}", f"10.1.2.4:{port}", 403)]:
            with self.subTest(origin=origin, host=host):
                stream = Stream(port, origin=origin, host=host)
                stream.close()
                self.assertEqual(stream.status, status)

    def test_read_only_refuses_sends(self):
        web, port = self.stack.start_web("--read-only")
        self.addCleanup(web.stop)
        stream = self.stream(port)
        stream.send({"send": "COM1 136.97 121.50"})
        self.assertEqual(stream.wait_for(lambda m: "sent" in m)["ok"], False)
        self.assertNotEqual(self.stack.sim("get com1"), "OK 136.97")

    def test_a_page_that_never_reads_is_dropped(self):
        idle = self.stream(rcvbuf=4096)
        idle.send({"subscribe": self.codes, "hz": 20})
        reader = self.stream()
        reader.send({"subscribe": ["RADI"], "hz": 20})
        self.stack.web.wait_line(r"Page .* dropped: \d+ bytes", timeout=60)
        for _ in range(20):
            self.reply(reader, "RADI")

    def test_one_address_holding_half_sent_heads_leaves_the_others_room(self):
        held = []
        self.addCleanup(lambda: [sock.close() for sock in held])
        for _ in range(300):
            sock = socket.create_connection(("127.0.0.1", self.stack.port), timeout=5, source_address=("127.0.0.2", 0))
            sock.sendall(b"GET / HTTP/1.1\r\n")
            held.append(sock)
        open_now = lambda: [sock for sock in held if not select.select([sock], [], [], 0)[0]]
        wait_until(lambda: len(open_now()) == 32, 5, "the address's 32 connections alone to stay")
        self.stream().send({"subscribe": ["RADI"]})  # this tablet still gets in
        refused = "- Error: Connections from 127.0.0.2 refused: 32 open from that address, the most allowed for one\n"
        self.assertEqual(self.stack.web.lines.count(refused), 1, "said once for the address")
        wait_until(lambda: not open_now(), 10, "the half-sent heads to be cut off")

    def test_a_stream_that_answers_no_ping_is_closed(self):
        silent, answering = self.stream(), self.stream()
        answering.send({"subscribe": ["RADI"], "hz": 1})
        silent.sock.settimeout(0.01)
        def silent_closed():
            self.reply(answering, "RADI")  # answering the pings meanwhile
            try:
                return silent.sock.recv(65536) == b""
            except socket.timeout:
                return False
        wait_until(silent_closed, 30, "the silent stream to be closed")
        self.stack.web.wait_line("Page 127.0.0.1 gone: no answer to pings")
        self.reply(answering, "RADI")

    def test_requests_that_cannot_be_served_are_answered_and_closed(self):
        for request, status in [(b"GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + b"a" * 9000 + b"\r\n\r\n", 431),
                                (b"POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nhello", 405),
                                (b"POST /stream HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n", 405),
                                (b"BREW / HTTP/1.1\r\nHost: x\r\n\r\n", 405),
                                (b"GET / HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\n\r\nabc", 400),
                                (b"GET / HTTP/1.1\r\nHost x\r\n\r\n", 400),
                                (b"\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03" + bytes(40), 400)]:
            with self.subTest(request=request[:40]):
                with socket.create_connection(("127.0.0.1", self.stack.port), timeout=5) as sock:
                    sock.sendall(request)
                    answer = b""
                    while piece := sock.recv(65536):  # to its end: the server closes
                        answer += piece
                head = answer.split(b"\r\n\r\n")[0].decode()
                self.assertRegex(head, rf"^HTTP/1\.1 {status} ")
                self.assertIn("Connection: close", head)
                if status == 405:
                    self.assertIn("Allow: GET, HEAD", head)

    def test_a_page_churning_its_subscriptions_unread_costs_the_others_nothing(self):
        reader = self.stream()
        reader.send({"subscribe": ["RADI"], "hz": 10})
        self.reply(reader, "RADI")
        churner = self.stream(rcvbuf=4096)
        try:  # thousands of messages a second, and nothing read: dropped in the end
            for _ in range(20000):
                churner.send({"subscribe": self.codes, "hz": 20})
                churner.send({"unsubscribe": self.codes})
            churner.send({"subscribe": self.codes, "hz": 20})
        except OSError:
            pass
        self.stack.web.wait_line(r"Page .* dropped: \d+ bytes", timeout=30)
        self.stack.exchanges()
        for _ in range(10):  # a second, and tavelor-web still serving
            self.reply(reader, "RADI")
        self.assertIsNone(self.stack.web.process.poll())
        self.assertLessEqual(self.stack.exchanges(), 15, "only what the reader wants is asked")

    def test_the_panel_server_stalled_gone_and_back(self):
        stream = self.stream()
        stream.send({"subscribe": ["RADI"], "hz": 10})
        self.reply(stream, "RADI")
        server = self.stack.server.process
        for act, link in [(lambda: server.send_signal(signal.SIGSTOP), "stalled"),
                          (lambda: server.send_signal(signal.SIGCONT), "up"),
                          (self.stack.server.stop, "down"), (self.stack.start_server, "up")]:
            act()
            stream.wait_for(lambda m: m == {"link": link}, 10)
        self.reply(stream, "RADI")


class Replay(unittest.TestCase):
    """The stand-in replaying the shipped recording: where it is, on the stream and on the index page."""

    @classmethod
    def setUpClass(cls):
        cls.stack = Stack("--replay", "../../recordings/circuit-approach.tvr")

    @classmethod
    def tearDownClass(cls):
        cls.stack.close()

    def status(self, stream, test=lambda status: True):
        return stream.wait_for(lambda m: "replay" in m and m["replay"] and test(m["replay"]))["replay"]

    def test_the_stream_says_where_the_replay_is_and_moves_it(self):
        self.assertEqual(self.stack.sim("replay on"), "OK")
        stream = Stream(self.stack.port)
        self.addCleanup(stream.close)
        self.assertEqual(self.status(stream, lambda s: s["playing"])["length"], 120.009)
        for command, test, said in [("pause", lambda s: not s["playing"], r" paused$"),
                                    (70, lambda s: s["at"] == 70, r"^OK 70\.000 120\.009 paused$"),
                                    ("on", lambda s: s["playing"], r" playing$")]:
            stream.send({"replay": command})
            self.status(stream, test)
            self.assertRegex(self.stack.sim("replay"), said)
        for message in [{"replay": "stop"}, {"replay": -1}, {"replay": [70]}]:
            stream.send(message)
            self.assertIn("error", stream.wait_for(lambda m: "error" in m))
        web, port = self.stack.start_web("--read-only")
        self.addCleanup(web.stop)
        watcher = Stream(port)
        self.addCleanup(watcher.close)
        self.status(watcher)
        watcher.send({"replay": "pause"})
        self.assertIn("--read-only", watcher.wait_for(lambda m: "error" in m)["error"])

    def test_a_burst_of_moves_keeps_the_replay_and_a_refused_one_is_told(self):
        stream = Stream(self.stack.port)
        self.addCleanup(stream.close)
        self.assertEqual(self.stack.sim("replay pause"), "OK")
        self.status(stream, lambda s: not s["playing"])
        for second in range(100):  # a finger dragging the replay bar
            stream.send({"replay": second})
        seen = []
        self.assertEqual(stream.wait_for(lambda m: seen.append(m) or m.get("replay") and m["replay"]["at"] == 99, 10)
                         ["replay"]["at"], 99)
        self.assertNotIn({"replay": None}, seen)  # the replay never seemed to vanish meanwhile
        for position in (1e9, -0.0):  # within what a page may ask, beyond what the stand-in takes
            stream.send({"replay": position})
            self.assertIn("the stand-in simulator refused", stream.wait_for(lambda m: "error" in m)["error"])

    def test_the_index_page_shows_the_replay_and_its_buttons_move_it(self):
        browser = Browser()
        self.addCleanup(browser.close)
        browser.open(self.stack.url("index.html"))
        wait_until(lambda: browser.js("!document.getElementById('replay').hidden"), 5, "the replay's controls")
        wait_until(lambda: browser.js("document.getElementById('replay-time').textContent").endswith(" / 2:00"), 5,
                   "the recording's length")
        self.assertEqual(self.stack.sim("replay at 30"), "OK")
        self.assertEqual(self.stack.sim("replay on"), "OK")
        wait_until(lambda: browser.js("document.getElementById('replay-play').textContent") == "Pause", 5, "the pause button")
        browser.tap("#replay-play")
        wait_until(lambda: self.stack.sim("replay").endswith(" paused"), 5, "the replay paused")
        self.assertEqual(browser.errors, [])


@unittest.skipUnless(os.environ.get("TAVELOR_WINDOWS_BIN_DIR") and shutil.which("wine"), "no Windows build, or no Wine")
class WindowsProgram(unittest.TestCase):
    def test_tavelor_web_exe_serves_pages_and_the_stream_under_wine(self):
        stack = Stack()
        self.addCleanup(stack.close)
        os.environ.pop("DISPLAY", None)  # a console program: Wine needs no screen
        wine = {"WINEPREFIX": os.environ["TAVELOR_WEB_WINEPREFIX"], "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}
        self.addCleanup(lambda: subprocess.run(["wineserver", "-k"], env={**os.environ, **wine}, timeout=60))
        exe = os.path.join(os.environ["TAVELOR_WINDOWS_BIN_DIR"], "tavelor-web.exe")
        web, port = stack.start_web(program=("wine", exe), env=wine, timeout=300)  # the first start makes the prefix
        self.addCleanup(web.stop)
        self.assertIn(b"Radio stack", stack.get("index.html", port))
        stream = Stream(port)
        self.addCleanup(stream.close)
        stream.send({"subscribe": ["RADI"], "hz": 5})
        self.assertEqual(stream.wait_for(lambda m: m.get("code") == "RADI", 10)["fields"]["dme1"], 12.3)
        stream.send({"send": "COM1 119.00 121.50"})
        self.assertEqual(stream.wait_for(lambda m: "sent" in m, 10)["ok"], True)
        self.assertEqual(stack.sim("get com1"), "OK 119.00")
        # Ctrl+C in its console (Wine makes SIGINT the console's event), its page still open.
        self.assertEqual(web.stop(signal.SIGINT), 0, web.lines[-3:])
        self.assertIn("- Stopped\n", web.lines)


if __name__ == "__main__":
    unittest.main()
