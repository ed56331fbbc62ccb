#!/usr/bin/env python3
"""tavelor-flightgear-bench: how fast a change in FlightGear reaches a panel, and what the link costs.

Starts Debian's FlightGear headless (the c172p in the air near KSFO, as the tests run it) at a
frame rate, and tavelor-server --sim --flightgear in front of it. Then:
  1. latency: a hundred times, COM1's standby frequency is set in FlightGear through its own
     property listener, and timed: to FlightGear's own message of the change on that connection
     (FlightGear's part, which its frame rate sets); to the first reply that shows it for a panel
     polling RADI at 10 Hz (what a pilot's panel sees); and at 100 Hz (what the link adds to
     FlightGear's part, to 10 ms);
  2. CPU: tavelor-server's (the link, the stand-in and the panel port) over 30 s with no panel,
     and with five panels polling RADI, PFD, HSI, C172 and MAPS at 10 Hz.

  scripts/bench.sh --flightgear [--frame-rate HZ] [--trials N] [--undrawn]"""
import argparse, os, random, socket, statistics, sys, time

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, os.path.join(root, "tests", "flightgear"))
sys.path.insert(0, os.path.join(root, "tests", "web"))
os.environ.setdefault("TAVELOR_BIN", os.path.join(root, "build", "release"))
from flightgear_test import FlightGear  # noqa: E402
from harness import Stack, free_port  # noqa: E402
from wsclient import Stream  # noqa: E402

COM_STANDBY = "/instrumentation/comm/frequencies/standby-mhz"


class Panel:
    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.buffer = b""

    def ask(self, code):
        self.sock.sendall(b"xx" + code.encode())
        while b"\n" not in self.buffer:
            self.buffer += self.sock.recv(65536)
        line, self.buffer = self.buffer.split(b"\n", 1)
        return line.decode("latin-1")

    def close(self):
        self.sock.close()


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def latency(stack, fg_port, hz, trials):
    panel = Panel(stack.server_port)
    fg = Stream(fg_port, path="/PropertyListener")
    channels = [round(118.0 + 0.05 * i, 2) for i in range(360)]  # two decimals, as RADI shows them
    got, mhz = [], None
    for _ in range(trials):
        mhz = random.choice([c for c in channels if c != mhz])
        text = f"{mhz:.2f}"
        start = time.monotonic()
        fg.send({"command": "set", "node": COM_STANDBY, "value": mhz})
        deadline = start + 5
        tick = start
        while time.monotonic() < deadline:
            if panel.ask("RADI").split(":")[4] == text:
                got.append(time.monotonic() - start)
                break
            tick += 1 / hz
            time.sleep(max(0, tick - time.monotonic()))
        time.sleep(random.uniform(0.2, 0.4))
    fg.close()
    panel.close()
    return got


def echo(fg_port, trials):
    """FlightGear alone: from a set to its own listener's message of the change, on one connection."""
    fg = Stream(fg_port, path="/PropertyListener")
    fg.send({"command": "addListener", "node": COM_STANDBY})
    channels = [round(118.0 + 0.05 * i, 2) for i in range(360)]
    got, mhz = [], None
    for _ in range(trials):
        mhz = random.choice([c for c in channels if c != mhz])  # a set of the same value is no change
        start = time.monotonic()
        fg.send({"command": "set", "node": COM_STANDBY, "value": mhz})
        try:
            fg.wait_for(lambda m: m.get("path", "").endswith("standby-mhz") and abs(m.get("value", 0) - mhz) < 1e-6, 5)
            got.append(time.monotonic() - start)
        except (AssertionError, OSError, EOFError):
            pass
        time.sleep(random.uniform(0.2, 0.4))
    fg.close()
    return got


def report(name, values, trials):
    values = sorted(v * 1000 for v in values)
    if not values:
        print(f"{name}: no change seen in {trials} trials")
        return
    p = lambda q: values[min(len(values) - 1, int(q * len(values)))]
    print(f"{name}: {len(values)} of {trials} seen; p50 {p(0.5):.0f} ms, p95 {p(0.95):.0f} ms, "
          f"max {values[-1]:.0f} ms, mean {statistics.mean(values):.0f} ms")


def cpu(stack, seconds, panels):
    pid = stack.server.process.pid
    clients = [Panel(stack.server_port) for _ in panels]
    before, start = cpu_seconds(pid), time.monotonic()
    tick = start
    while time.monotonic() - start < seconds:
        for client, code in zip(clients, panels):
            client.ask(code)
        tick += 0.1
        time.sleep(max(0, tick - time.monotonic()))
    used = (cpu_seconds(pid) - before) / (time.monotonic() - start)
    for client in clients:
        client.close()
    return used * 100


def main():
    parser = argparse.ArgumentParser(prog="tavelor-flightgear-bench", description=__doc__.splitlines()[0])
    parser.add_argument("--frame-rate", type=int, default=30, help="FlightGear's frame rate (default 30)")
    parser.add_argument("--trials", type=int, default=100, help="changes timed at each polling rate (default 100)")
    parser.add_argument("--undrawn", action="store_true",
                        help="draw neither terrain nor models, so that FlightGear reaches its frame rate without a "
                             "graphics card")
    args = parser.parse_args()
    fg_port = free_port()
    undrawn = [f"--prop:/sim/rendering/draw-mask/{what}=false" for what in ("terrain", "models", "aircraft", "clouds")]
    fg = FlightGear(fg_port, frame_rate=args.frame_rate, extra=undrawn if args.undrawn else ())
    stack = None
    try:
        stack = Stack("--flightgear", f"127.0.0.1:{fg_port}", web=False)
        stack.server.wait_line("FlightGear at .*: following", 30)
        time.sleep(3)
        print(f"FlightGear {fg.get('/sim/version/flightgear')}, the c172p, at most {args.frame_rate} frames a second; "
              f"{fg.get('/sim/frame-rate')} frames a second measured")
        report("FlightGear alone: a set to its own listener's message", echo(fg_port, args.trials), args.trials)
        for hz in (10, 100):
            report(f"FlightGear change to a panel polling RADI at {hz} Hz", latency(stack, fg_port, hz, args.trials),
                   args.trials)
        print(f"tavelor-server's CPU, FlightGear flying, no panel: {cpu(stack, 30, []):.1f} % of a core")
        print(f"tavelor-server's CPU, five panels at 10 Hz: {cpu(stack, 30, ['RADI', 'PFD', 'HSI', 'C172', 'MAPS']):.1f} % of a core")
    finally:
        if stack:
            stack.close()
        fg.kill()


if __name__ == "__main__":
    main()
