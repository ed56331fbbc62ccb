#!/usr/bin/env bash
# Builds the server and tavelor-probe, then starts the server with the stand-in simulator inside
# the same process.
# Extra arguments go to tavelor-server (for example --debug or --port 9700).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tavelor-server tavelor-sim tavelor-probe
exec build/release/tavelor-server --sim "$@"
