#!/usr/bin/env python3
"""Makes recordings/flightgear-ksfo-28r.tvr, the FlightGear recording the README replays: Debian's
FlightGear (headless, as the tests run it) with its c172p placed on the ILS to KSFO runway 28R,
five nautical miles out on the glideslope at 90 kt, NAV1 on the localiser (IGWQ, 111.70) and the
KAP140 autopilot flying the approach (APR on the localiser, GS on the glideslope);
tavelor-server --sim --flightgear follows it and records while a panel polls five replies four
times a second, for 130 s: to about 400 ft over the bay. With --screenshot, tavelor-web's PFD is
taken too, a minute in (docs/flightgear-pfd.png), in headless Chromium.
Usage: scripts/record-flightgear.py [--seconds N] [--screenshot]"""
import argparse, os, subprocess, sys, tempfile, time

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, os.path.join(root, "tests", "flightgear"))
sys.path.insert(0, os.path.join(root, "tests", "web"))
os.environ.setdefault("TAVELOR_BIN", os.path.join(root, "build", "release"))
from flightgear_test import FlightGear  # noqa: E402
from harness import BIN, Browser, Program, free_port, wait_until  # noqa: E402

parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
parser.add_argument("--seconds", type=int, default=130)
parser.add_argument("--screenshot", action="store_true")
args = parser.parse_args()
seconds = args.seconds
out = os.path.join(root, "recordings", "flightgear-ksfo-28r.tvr")
codes = ["RADI", "PFD", "HSI", "C172", "MAPS"]
if os.path.exists(out):
    os.remove(out)
fg_port, panels, control = free_port(), free_port(), free_port()
fg = FlightGear(fg_port, where=("--airport=KSFO", "--runway=28R", "--offset-distance=5", "--glideslope=3", "--vc=90",
                                "--in-air", "--nav1=284:111.70", "--timeofday=noon"))
server = None
try:
    for path, value in [("/instrumentation/nav/radials/selected-deg", 284), ("/autopilot/settings/heading-bug-deg", 284),
                        ("/instrumentation/heading-indicator/heading-bug-deg", 284),
                        # The KAP140 as its APR button leaves it once both needles are captured: the
                        # heading channel steered by the localiser, the pitch by the glideslope.
                        ("/autopilot/KAP140/locks/roll-axis", True), ("/autopilot/KAP140/locks/roll-mode", 5),
                        ("/autopilot/KAP140/locks/hdg-hold", True), ("/autopilot/KAP140/locks/apr-hold", True),
                        ("/autopilot/KAP140/locks/pitch-axis", True), ("/autopilot/KAP140/locks/pitch-mode", 3),
                        ("/autopilot/KAP140/locks/gs-hold", True), ("/controls/engines/engine/throttle", 0.4),
                        ("/controls/flight/flaps", 0.33)]:
        fg.set(path, value)
    with tempfile.TemporaryDirectory(prefix="tavelor-record-") as ipc:
        server = subprocess.Popen([f"{BIN}/tavelor-server", "--sim", "--flightgear", f"127.0.0.1:{fg_port}", "--bind",
                                   "127.0.0.1", "--port", str(panels), "--sim-control", str(control), "--connect-now",
                                   "--record", out], env={**os.environ, "TAVELOR_IPC_DIR": ipc},
                                  stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT)
        time.sleep(5)  # the server listening, the link's first sweep in
        pollers = [subprocess.Popen([f"{BIN}/tavelor-probe", "--port", str(panels), "--watch", "4", "--count",
                                     str(seconds * 4), "--raw", code], stdout=subprocess.DEVNULL) for code in codes]
        if args.screenshot:
            time.sleep(55)
            web = Program([f"{BIN}/tavelor-web", "--server", f"127.0.0.1:{panels}", "--bind", "127.0.0.1", "--port", "0"])
            web_port = int(web.wait_line(r"http://127\.0\.0\.1:(\d+)/", 10).group(1))
            browser = Browser(width=1280, height=800)
            try:
                browser.open(f"http://127.0.0.1:{web_port}/pfd.html")
                wait_until(lambda: browser.js("document.body.dataset.server") == "up", 10, "the stream")
                time.sleep(3)
                browser.screenshot(os.path.join(root, "docs", "flightgear-pfd.png"))
            finally:
                browser.close()
                web.stop()
        for p in pollers:
            p.wait(seconds + 60)
        for path in ("/instrumentation/nav/heading-needle-deflection-norm", "/instrumentation/nav/gs-needle-deflection-norm",
                     "/position/altitude-agl-ft", "/instrumentation/dme/indicated-distance-nm"):
            print(path, fg.get(path), file=sys.stderr)
        server.terminate()
        server.wait(10)
finally:
    if server and server.poll() is None:
        server.kill()
    fg.kill()
print(out, os.path.getsize(out), "bytes", file=sys.stderr)
