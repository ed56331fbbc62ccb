#!/usr/bin/env bash
# Builds the server and the benchmark (release) and prints the benchmark's table.
# Arguments go to tavelor-bench, for example --codes RADI,MAPS or --port 9696 for a server
# that is already running (see tavelor-bench --help). With --web first, it measures tavelor-web
# instead: pages subscribed through it (see tavelor-web-bench --help); with --stages first, the
# time of each stage of a request inside the server, its exchange with the stand-in over the
# socket and handed over in-process side by side (see tavelor-stage-bench --help); with --mqtt
# first, tavelor-mqtt with a Mosquitto broker and a crowd of boards (see tavelor-mqtt-bench --help);
# with --flightgear first, the link to a real FlightGear, which it installs when it is missing
# (see bench/flightgear_bench.py --help).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
if [[ ${1:-} == --web ]]; then
  shift
  cmake --build --preset release --target tavelor-web-bench tavelor-web
  exec build/release/bench/tavelor-web-bench "$@"
fi
if [[ ${1:-} == --stages ]]; then
  shift
  cmake --build --preset release --target tavelor-stage-bench
  exec build/release/bench/tavelor-stage-bench "$@"
fi
if [[ ${1:-} == --flightgear ]]; then
  shift
  scripts/install-deps.sh --flightgear
  cmake --build --preset release --target tavelor-server tavelor-sim
  exec python3 bench/flightgear_bench.py "$@"
fi
if [[ ${1:-} == --mqtt ]]; then
  shift
  cmake --build --preset release --target tavelor-mqtt-bench
  exec build/release/bench/tavelor-mqtt-bench "$@"
fi
cmake --build --preset release --target tavelor-bench tavelor-server
exec build/release/bench/tavelor-bench "$@"
