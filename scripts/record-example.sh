#!/usr/bin/env bash
# Makes recordings/circuit-approach.tvr, the recording the README replays and the tests read:
# the stand-in flying its circuit from 840 s (the localiser, the glideslope, the outer marker)
# for two minutes, recorded by tavelor-server while a panel polls each panel reply five times a
# second. Usage: scripts/record-example.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-120}
out=recordings/circuit-approach.tvr
cmake --preset release >/dev/null
cmake --build --preset release --target tavelor-server tavelor-probe >&2
bin=build/release

work=$(mktemp -d)
trap 'kill $server 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
panels=$(port) control=$(port)
mkdir -p recordings
rm -f "$out"
TAVELOR_IPC_DIR="$work/ipc" "$bin/tavelor-server" --sim --fly --sim-control "$control" --port "$panels" \
  --bind 127.0.0.1 --connect-now --record "$out" >"$work/server.log" &
server=$!
for _ in $(seq 100); do grep -q -- "- IP: " "$work/server.log" && break; sleep 0.1; done
printf 'fly at 840\n' | python3 -c '
import socket, sys
with socket.create_connection(("127.0.0.1", int(sys.argv[1]))) as s:
    s.sendall(sys.stdin.buffer.read()); print(s.recv(100).decode().strip())' "$control" >&2

# Every panel reply the server has, as the probe's schema lists them.
read -ra codes < <("$bin/tavelor-probe" --schema | python3 -c 'import json, sys; print(*(r["code"] for r in json.load(sys.stdin)))')
for code in "${codes[@]}"; do
  "$bin/tavelor-probe" --port "$panels" --watch 5 --count $((seconds * 5)) --raw "$code" >/dev/null &
done
wait $(jobs -p | grep -v "^$server$") 2>/dev/null || true
kill "$server"
wait "$server" || true
ls -l "$out" >&2
