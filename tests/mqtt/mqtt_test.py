"""tavelor-mqtt as a cockpit builder runs it: a real Mosquitto broker on a free loopback port,
tavelor-server with its stand-in, boards played by mosquitto_sub and mosquitto_pub. Every wait is
bounded."""
import os, signal, socket, sys, tempfile, time, unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "web"))
from harness import BIN, Program, Stack, free_port, wait_until  # noqa: E402

MOSQUITTO = os.environ.get("TAVELOR_MOSQUITTO", "/usr/sbin/mosquitto")


class Broker:
    """Mosquitto on 127.0.0.1 only, on a port of its own; started again on the same port."""

    def __init__(self):
        self.port = free_port()
        self.config = tempfile.NamedTemporaryFile("w", suffix=".conf", delete=False)
        self.config.write(f"listener {self.port} 127.0.0.1\nallow_anonymous true\npersistence false\n")
        self.config.close()
        self.start()

    def start(self):
        self.program = Program([MOSQUITTO, "-c", self.config.name])
        wait_until(self._listening, 10, "the broker to listen")

    def _listening(self):
        try:
            socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
            return True
        except OSError:
            return False

    def stop(self):
        self.program.stop()

    def close(self):
        self.stop()
        os.unlink(self.config.name)

    def watch(self, *topics):
        """A board subscribed to `topics`: its lines are "TOPIC PAYLOAD"."""
        board = Program(["mosquitto_sub", "-h", "127.0.0.1", "-p", str(self.port), "-v",
                         *[a for t in topics for a in ("-t", t)]])
        time.sleep(0.3)  # subscribed before anything it is to see is published
        return board

    def publish(self, topic, payload, *flags):
        Program(["mosquitto_pub", "-h", "127.0.0.1", "-p", str(self.port), "-t", topic, "-m", payload, *flags]).process.wait(5)

    def retained(self, topic):
        """What a board that connects now gets on `topic` at once."""
        late = Program(["mosquitto_sub", "-h", "127.0.0.1", "-p", str(self.port), "-t", topic, "-C", "1", "-W", "3"])
        late.process.wait(5)
        return "".join(late.lines).strip()


def seen(board, topic, payload=None, containing="", timeout=8):
    """The payload of the first line on `topic` (with that payload, or containing that text)."""
    def find():
        for line in board.lines[:]:
            t, _, p = line.rstrip("\n").partition(" ")
            if t == topic and (payload is None or p == payload) and containing in p:
                return p or " "
    return wait_until(find, timeout, f"{topic} {payload or containing} on the broker")


class BridgeCase(unittest.TestCase):
    def setUp(self):
        self.broker = Broker()
        self.addCleanup(self.broker.close)
        self.stack = Stack(web=False)
        self.addCleanup(self.stack.close)

    def bridge(self, *args):
        bridge = Program([f"{BIN}/tavelor-mqtt", "--server", f"127.0.0.1:{self.stack.server_port}",
                          "--broker", f"127.0.0.1:{self.broker.port}", *args])
        self.addCleanup(lambda: self.assertEqual(bridge.stop(), 0, bridge.lines[-3:]))
        bridge.wait_line("Broker connected")
        bridge.wait_line("Panel server connected")
        return bridge

    def writes(self):
        """The stand-in's journal since the last call, its writes only: "SEQ W OFFSET SIZE HEX"."""
        count = int(self.stack.sim("journal").split()[1])
        return [line for line in (self.stack.control_lines.readline().strip() for _ in range(count)) if " W " in line]

    def board(self, *topics):
        board = self.broker.watch(*topics)
        self.addCleanup(board.stop)
        return board


class ValuesAndCommands(BridgeCase):
    def test_values_go_out_on_their_topics_retained_and_past_their_deadband(self):
        board = self.board("tavelor/#")
        self.bridge("--follow", "RADI,FGP", "--deadband", "FGP.heading=5")
        seen(board, "tavelor/status", "online")
        self.assertEqual(seen(board, "tavelor/RADI/transponder"), "7000")
        self.assertIn('"code":"RADI"', seen(board, "tavelor/RADI"))
        self.assertEqual(self.stack.sim("set com1 119.25"), "OK")
        seen(board, "tavelor/RADI/com1", "119.25")
        seen(board, "tavelor/RADI", containing='"com1":119.25')
        self.assertEqual(self.broker.retained("tavelor/RADI/com1"), "119.25")  # a board that comes later
        heading = int(seen(board, "tavelor/FGP/heading"))
        for step, published in ((3, False), (6, True)):  # the deadband is 5 degrees from the last published
            self.assertEqual(self.stack.sim(f"set heading {(heading + step) % 360}"), "OK")
            time.sleep(1)
            lines = [l for l in board.lines[:] if l.startswith("tavelor/FGP/heading ")]
            self.assertEqual(lines[-1].split()[1] == str((heading + step) % 360), published, lines)

    def test_commands_reach_the_simulator_and_are_acknowledged_and_bad_ones_refused(self):
        board = self.board("tavelor/ack/#", "tavelor/error")
        self.bridge()
        for topic, payload, name, value in [("tavelor/command/COM1", "119.00 121.50", "com1", "119.00"),
                                            ("tavelor/command/TRA0", "1234", "transponder", "1234"),
                                            ("tavelor/command/APHD", "123", "ap_heading", "123"),
                                            ("tavelor/command", "xxNAV1 111.30 110.90", "nav1", "111.30")]:
            with self.subTest(topic=topic, payload=payload):
                self.writes()
                self.broker.publish(topic, payload)
                request = (topic.split("/")[-1] + " " + payload) if topic.count("/") == 2 else payload[2:]
                seen(board, f"tavelor/ack/{request[:4]}", request)
                self.assertEqual(self.stack.sim(f"get {name}"), f"OK {value}")
                self.assertTrue(self.writes())  # the command's exchange is in the journal
        for topic, payload, reason in [("tavelor/command/COM1", "1G8.50 121.50", "columns 9-10 and 12-13"),
                                       ("tavelor/command/ZZZZ", "1", "unknown command ZZZZ"),
                                       ("tavelor/command/RADI", "", "its values are on tavelor/RADI")]:
            with self.subTest(topic=topic, payload=payload):
                self.broker.publish(topic, payload)
                seen(board, "tavelor/error", containing=reason)
        # A retained command is taken once, live; the broker's copy, which a bridge that connects
        # later is handed, never.
        self.broker.publish("tavelor/command/EBAT", "0", "-r")
        seen(board, "tavelor/ack/EBAT", "EBAT 0")
        self.bridge()
        seen(board, "tavelor/error", containing="a retained command is not taken")

    def test_read_only_refuses_every_command(self):
        board = self.board("tavelor/error", "tavelor/ack/#")
        self.bridge("--read-only")
        self.writes()
        self.broker.publish("tavelor/command/COM1", "119.00 121.50")
        self.assertIn("--read-only", seen(board, "tavelor/error"))
        time.sleep(0.5)
        self.assertFalse([l for l in board.lines if l.startswith("tavelor/ack")])
        self.assertEqual(self.writes(), [])


class Outages(BridgeCase):
    def test_the_broker_and_the_server_going_away_in_turn_are_survived_and_told(self):
        bridge = self.bridge("--follow", "RADI")
        self.broker.stop()
        bridge.wait_line("Broker 127.0.0.1:.* lost")
        self.broker.start()
        bridge.wait_line("Broker connected again", 20)
        board = self.board("tavelor/status", "tavelor/RADI/com1")
        seen(board, "tavelor/status", "online")
        self.assertTrue(seen(board, "tavelor/RADI/com1"))  # the restarted broker has every value again
        self.stack.server.stop()
        seen(board, "tavelor/status", "no-server")
        bridge.wait_line("Panel server .* not reachable")
        self.stack.start_server()
        seen(board, "tavelor/status", "online", timeout=20)
        self.stack.sim("set com1 120.50")
        seen(board, "tavelor/RADI/com1", "120.5")

    def test_the_last_will_says_offline_and_a_clean_stop_too(self):
        board = self.board("tavelor/status")
        for how in (signal.SIGTERM, signal.SIGKILL):
            bridge = Program([f"{BIN}/tavelor-mqtt", "--server", f"127.0.0.1:{self.stack.server_port}",
                              "--broker", f"127.0.0.1:{self.broker.port}"])
            bridge.wait_line("Panel server connected")
            seen(board, "tavelor/status", "online")
            del board.lines[:]
            bridge.process.send_signal(how)
            bridge.process.wait(10)
            self.assertEqual(seen(board, "tavelor/status"), "offline", how)
            self.assertEqual(self.broker.retained("tavelor/status"), "offline")
            if how == signal.SIGTERM:
                self.assertEqual(bridge.process.returncode, 0)
                self.assertIn("- Stopped\n", bridge.lines)


if __name__ == "__main__":
    unittest.main()
