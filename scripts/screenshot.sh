#!/usr/bin/env bash
# Saves a picture of TavelorServer's window to docs/screenshot.png: the program and the stand-in
# simulator run under Wine on a virtual X display (xvfb), one client is served, and the window
# is cut out of a picture of the screen.
#
#   scripts/screenshot.sh [BIN_DIR] [OUT_PNG]
#
# BIN_DIR is the MinGW build folder (default build/mingw, see scripts/build-windows.sh).
# Needs wine, xvfb-run and ImageMagick (import, convert).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

if [[ "${1:-}" != "--on-display" ]]; then
  bin="$(cd "${1:-$root/build/mingw}" && pwd)"
  out="${2:-$root/docs/screenshot.png}"
  for tool in wine wineserver xvfb-run import convert; do
    command -v "$tool" >/dev/null || { echo "screenshot.sh: $tool is needed" >&2; exit 1; }
  done
  for exe in TavelorServer.exe tavelor-sim.exe win_inspect.exe; do
    [[ -f "$bin/$exe" ]] || { echo "screenshot.sh: $bin/$exe is missing: run scripts/build-windows.sh" >&2; exit 1; }
  done
  mkdir -p "$(dirname "$out")"
  # A prefix of its own: the test prefix uses the null driver, which draws nothing.
  export WINEPREFIX="$root/build/screenshot-wineprefix"
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  exec timeout 600 xvfb-run -a -s "-screen 0 1024x768x24" bash ${TAVELOR_SCREENSHOT_TRACE:+-x} "$0" --on-display "$bin" "$out"
fi

# On the virtual display from here.
bin="$2"
out="$3"
work="$(mktemp -d)"
sim_pid=""
server_pid=""
cleanup() {
  exec 3>&- 2>/dev/null || true
  [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null || true
  [[ -n "$sim_pid" ]] && kill "$sim_pid" 2>/dev/null || true
  timeout 30 wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Wait up to $1 seconds for the command after it to succeed.
wait_for() {
  local seconds="$1"
  shift
  for ((i = 0; i < seconds * 5; i++)); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.2
  done
  echo "screenshot.sh: timed out waiting for: $*" >&2
  return 1
}
log_has() { timeout 20 wine "$bin/win_inspect.exe" memo | grep -q -- "$1"; }

# A virtual desktop: Wine draws the window frames itself, as Windows does (no window manager).
timeout 300 wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
timeout 60 wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 640x360 /f >/dev/null
timeout 30 wineserver -p30 || true  # already running is fine

timeout 300 wine "$bin/tavelor-sim.exe" --control 0 >"$work/sim.txt" 2>/dev/null </dev/null &
sim_pid=$!
wait_for 60 grep -q "control 127.0.0.1:" "$work/sim.txt"
timeout 300 wine "$bin/TavelorServer.exe" >/dev/null 2>&1 </dev/null &
server_pid=$!
timeout 90 wine "$bin/win_inspect.exe" wait TfMain 60000 >/dev/null
wait_for 30 log_has "Listening Port 9696"

# One client, one request: the log shows a connection.
exec 3<>/dev/tcp/127.0.0.1/9696
printf 'xxRADI' >&3
IFS= read -r -t 10 reply <&3 || true
wait_for 10 log_has "New Client Connected"
sleep 1

frame="$(timeout 20 wine "$bin/win_inspect.exe" info | sed -n 's/^frame=//p' | tr -d '\r')"
position="$(timeout 20 wine "$bin/win_inspect.exe" info | sed -n 's/^position=//p' | tr -d '\r')"
width="${frame%,*}"
height="${frame#*,}"
left="${position%,*}"
top="${position#*,}"
import -window root "$work/screen.png"
convert "$work/screen.png" -crop "${width}x${height}+${left}+${top}" +repage "$out"
echo "screenshot.sh: ${width}x${height} window saved to $out"
timeout 20 wine "$bin/win_inspect.exe" close 10000 >/dev/null || true
