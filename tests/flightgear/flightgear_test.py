"""The stand-in following a real FlightGear, as a pilot runs them: Debian's fgfs headless (the c172p
in the air near KSFO, its HTTP server on a free loopback port), tavelor-server --sim --flightgear
and tavelor-web in front of it. The panels' replies and the browser stream are held against
FlightGear's own property values, read from FlightGear directly while it is paused; a panel's
commands show up in FlightGear's properties; FlightGear killed and started again is survived.
Every wait is bounded; what the test starts it ends by its process group."""
import json, os, shutil, signal, subprocess, sys, tempfile, time, unittest, urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "web"))
from harness import BIN, Stack, free_port, wait_until  # noqa: E402
from wsclient import Stream  # noqa: E402

FGFS = os.environ.get("TAVELOR_FGFS", "/usr/games/fgfs")


class FlightGear:
    """fgfs without a screen (Xvfb) or a desktop bus of the machine's (a private one), its
    rendering kept small, in a process group of its own."""

    # The c172p in the air near KSFO; `where` may put it elsewhere (the recording of an approach).
    def __init__(self, port, where=("--airport=KSFO", "--in-air", "--altitude=3000"), frame_rate=20, extra=()):
        self.port = port
        self.home = tempfile.mkdtemp(prefix="tavelor-fghome-")
        self.log = open(os.path.join(self.home, "fgfs.log"), "w")
        self.process = subprocess.Popen(
            ["dbus-run-session", "--", "xvfb-run", "-a", "-s", "-screen 0 640x480x24", FGFS, "--aircraft=c172p",
             *where, "--disable-sound", "--disable-terrasync", f"--httpd={port}",
             f"--prop:/sim/frame-rate-throttle-hz={frame_rate}", "--geometry=320x240", "--disable-clouds",
             "--fog-fastest", "--disable-splash-screen", "--disable-ai-traffic", "--disable-real-weather-fetch",
             # Drawn without a graphics card, the city and the airport's objects near the ground
             # take FlightGear to a frame or two a second, and its HTTP server with it.
             "--disable-random-objects", "--disable-random-vegetation", "--disable-random-buildings",
             "--visibility=8000", *extra],
            stdout=self.log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, start_new_session=True,
            env={**os.environ, "FG_HOME": self.home})
        wait_until(lambda: self.get("/sim/signals/fdm-initialized") is True, 240, "FlightGear to fly")

    def get(self, path):
        """A property's value, or None while FlightGear does not answer."""
        try:
            with urllib.request.urlopen(f"http://127.0.0.1:{self.port}/json{path}", timeout=5) as answer:
                return json.load(answer).get("value")
        except (OSError, ValueError):
            return None

    def set(self, path, value):
        stream = Stream(self.port, path="/PropertyListener")
        stream.send({"command": "set", "node": path, "value": value})
        stream.send({"command": "get", "node": path})
        stream.wait_for(lambda m: m.get("path") == path, 10)
        stream.close()

    def kill(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait(30)
        self.log.close()
        if os.environ.get("TAVELOR_FG_LOG"):  # where to keep FlightGear's log, for a run gone wrong
            shutil.copy(os.path.join(self.home, "fgfs.log"), os.environ["TAVELOR_FG_LOG"])
        shutil.rmtree(self.home, ignore_errors=True)


def near(a, b, tolerance):
    return a is not None and b is not None and abs(a - b) <= tolerance


class FollowingFlightGear(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.fg_port = free_port()
        cls.fg = FlightGear(cls.fg_port)
        cls.stack = Stack("--flightgear", f"127.0.0.1:{cls.fg_port}")
        cls.stack.server.wait_line("FlightGear at .*: following", 30)

    @classmethod
    def tearDownClass(cls):
        cls.stack.close()
        cls.fg.kill()

    def reply(self, code):
        out = subprocess.run([f"{BIN}/tavelor-probe", "--port", str(self.stack.server_port), "--json", code],
                             capture_output=True, text=True, timeout=30).stdout
        return json.loads(out)["fields"]

    def command(self, text):
        subprocess.run([f"{BIN}/tavelor-probe", "--port", str(self.stack.server_port), *text.split()],
                       capture_output=True, timeout=30, check=True)

    def test_1_replies_and_the_stream_agree_with_flightgear(self):
        fg = self.fg
        # FlightGear's own pause: the clock stops the flight model, the master flag says paused.
        fg.set("/sim/freeze/clock", True)
        fg.set("/sim/freeze/master", True)
        self.stack.server.wait_line("FlightGear paused", 10)
        time.sleep(1)  # the last values in
        try:
            p = fg.get
            # reply, field, FlightGear's value in the field's unit, and how near: the field's last digit
            checks = [
                ("RADI", "com1", p("/instrumentation/comm/frequencies/selected-mhz"), 0.01),
                ("RADI", "com1_standby", p("/instrumentation/comm/frequencies/standby-mhz"), 0.01),
                ("RADI", "nav1", p("/instrumentation/nav/frequencies/selected-mhz"), 0.01),
                ("RADI", "nav2", p("/instrumentation/nav[1]/frequencies/selected-mhz"), 0.01),
                ("RADI", "com2", p("/instrumentation/comm[1]/frequencies/selected-mhz"), 0.01),
                ("RADI", "adf_mod1000", p("/instrumentation/adf/frequencies/selected-khz") % 1000, 1),
                ("HSI", "heading", p("/instrumentation/heading-indicator/indicated-heading-deg") * 100, 1),
                ("HSI", "nav1_course", p("/instrumentation/nav/radials/selected-deg"), 1),
                ("HSI", "wind_dir", p("/environment/wind-from-heading-deg"), 1),
                ("HSI", "wind_speed", p("/environment/wind-speed-kt"), 1),
                ("PFD", "ias", p("/instrumentation/airspeed-indicator/indicated-speed-kt") * 100, 1),
                ("PFD", "pitch", p("/orientation/pitch-deg") * 100, 1),
                ("PFD", "bank", -p("/orientation/roll-deg") * 100, 1),  # the simulator's bank: right is negative
                ("PFD", "vs", max(-4100, min(4100, p("/instrumentation/vertical-speed-indicator/indicated-speed-fpm"))), 1),
                ("PFD", "mach", p("/velocities/mach") * 100, 1),
                ("PFD", "gs", p("/velocities/groundspeed-kt"), 1),
                ("PFD", "qnh", p("/instrumentation/altimeter/setting-hpa"), 1),
                ("PFD", "radio_alt", p("/position/altitude-agl-ft"), 1),
                ("C172", "alt", p("/position/altitude-ft"), 1),
                ("C172", "rpm", p("/engines/engine/rpm"), 1),
                ("C172", "volts", p("/systems/electrical/volts") * 10, 1),
                ("C172", "fuel_left", p("/consumables/fuel/tank/level-norm") * 100, 1),
                ("C172", "magnetos", p("/controls/engines/engine/magnetos"), 0),
                ("C172", "flaps", p("/controls/flight/flaps") * 16383, 1),
                ("C172", "heading", p("/instrumentation/heading-indicator/indicated-heading-deg"), 1),
            ]
            replies = {code: self.reply(code) for code in ("RADI", "HSI", "PFD", "C172")}
            for code, field, expected, tolerance in checks:
                with self.subTest(reply=code, field=field):
                    self.assertTrue(near(replies[code][field], expected, tolerance),
                                    f"{code} {field}: {replies[code][field]}, FlightGear {expected}")
            self.assertEqual(replies["RADI"]["transponder"], f'{p("/instrumentation/transponder/id-code"):04d}')
            # The browser stream gives what the panel port gives.
            stream = Stream(self.stack.port)
            stream.send({"subscribe": ["RADI", "PFD"], "hz": 5})
            for code in ("RADI", "PFD"):
                message = stream.wait_for(lambda m: m.get("code") == code, 10)
                self.assertEqual(message["fields"], replies[code], code)
            stream.close()
        finally:
            fg.set("/sim/freeze/master", False)
            fg.set("/sim/freeze/clock", False)

    def test_2_commands_reach_flightgears_properties(self):
        p = self.fg.get
        writes = [
            ("COM1 119.10 121.50", "/instrumentation/comm/frequencies/selected-mhz", 119.1),
            ("COM1 119.10 121.50", "/instrumentation/comm/frequencies/standby-mhz", 121.5),
            ("NAV1 111.70 110.90", "/instrumentation/nav/frequencies/selected-mhz", 111.7),
            ("TRA0 4521", "/instrumentation/transponder/id-code", 4521),
            ("APHD 123", "/autopilot/settings/heading-bug-deg", 123),
            ("APHD 123", "/instrumentation/heading-indicator/heading-bug-deg", 123),
            ("APAL 04500", "/autopilot/KAP140/settings/target-alt-ft", 4500),
            ("LIGH 000110", "/controls/lighting/landing-lights", True),
            ("LIGH 000110", "/controls/lighting/beacon", True),
            ("LIGH 000110", "/controls/lighting/nav-lights", False),
            ("FLAP 2", "/controls/flight/flaps", 2 / 3),
        ]
        for command, _, _ in writes:
            self.command(command)
        for command, path, value in writes:
            with self.subTest(command=command, property=path):
                wait_until(lambda: p(path) == value if isinstance(value, bool) else near(p(path), value, 0.01), 10,
                           f"{path} to be {value}")
        # FlightGear's answer is what the next reply shows.
        wait_until(lambda: self.reply("RADI")["com1"] == 119.1, 5, "RADI to show FlightGear's COM1")

    def test_3_flightgear_killed_and_started_again_is_survived(self):
        server = self.stack.server
        self.fg.kill()
        server.wait_line("FlightGear at .* lost", 20)
        self.assertIn("com1", self.reply("RADI"))  # the panels are served all along
        self.assertTrue(self.stack.sim("flightgear").startswith("OK waiting"))
        type(self).fg = FlightGear(self.fg_port)
        server.wait_line("FlightGear at .* again", 60)
        self.fg.set("/instrumentation/comm/frequencies/selected-mhz", 122.8)
        seen = []
        wait_until(lambda: seen.append((self.reply("RADI")["com1"], self.fg.get("/instrumentation/comm/frequencies/selected-mhz")))
                   or seen[-1] == (122.8, 122.8), 20, f"RADI to follow the new FlightGear (RADI, FlightGear: {seen[-3:]})")
        self.assertTrue(self.stack.sim("flightgear").startswith("OK connected"))


if __name__ == "__main__":
    unittest.main()
