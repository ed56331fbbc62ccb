#!/usr/bin/env bash
# Builds the server, tavelor-probe and tavelor-web, then starts the server with the stand-in
# simulator inside the same process, and tavelor-web in front of it: open the address it prints
# on a tablet or phone (or http://127.0.0.1:9080/ here) to see the instruments.
# Extra arguments go to tavelor-server (for example --fly, --debug or --port 9700).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tavelor-server tavelor-sim tavelor-probe tavelor-web

server_port=9696
args=("$@")
for ((i = 0; i + 1 < ${#args[@]}; i++)); do
  [[ ${args[i]} == --port ]] && server_port=${args[i + 1]}
done
# It connects by itself once the server listens; started a moment later, it finds it at once.
(sleep 2 && exec build/release/tavelor-web --server "127.0.0.1:$server_port") &
web=$!
trap 'kill "$web" 2>/dev/null || true' EXIT
build/release/tavelor-server --sim "$@"
