#!/usr/bin/env bash
# Takes the README's pictures of tavelor-web's pages: tavelor-server --sim --fly and tavelor-web
# on loopback, each page in headless Chromium at a 10-inch tablet's size, saved as
# docs/web-PAGE.png. Each page is taken a few seconds after the same moment of the circuit
# (`fly at`): the left turn onto the radar vectors past CJN, banked and descending, traffic about.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --browser
cmake --preset release >/dev/null
cmake --build --preset release --target tavelor-server tavelor-web
PYTHONDONTWRITEBYTECODE=1 TAVELOR_BIN=build/release python3 - <<'PYTHON'
import sys, time
sys.path.insert(0, "tests/web")
from harness import Browser, Stack, wait_until

stack, browser = Stack("--fly"), Browser(width=1280, height=800)
try:
    for page in ("index", "radio", "hsi", "pfd", "map", "engine", "autopilot"):
        # The jump comes before the page opens, or the map would draw a track from where it was.
        assert stack.sim("fly at 545") == "OK"
        browser.open(stack.url(f"{page}.html"))
        wait_until(lambda: browser.js("document.body.dataset.server") == "up", 5, "the stream")
        time.sleep(6 if page == "map" else 2)  # the map draws its track as it goes
        browser.screenshot(f"docs/web-{page}.png")
        print(f"docs/web-{page}.png")
finally:
    browser.close()
    stack.close()
PYTHON
