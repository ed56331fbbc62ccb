#!/usr/bin/env bash
# Builds the server, tavelor-probe, tavelor-web and tavelor-mqtt, then starts the server with the stand-in
# simulator inside the same process, and tavelor-web in front of it: open the address it prints
# on a tablet or phone (or http://127.0.0.1:9080/ here) to see the instruments.
#
# Three ports: the panels' (9696), the stand-in's control channel (9697) and the browsers' (9080).
# --port N moves all three together, to N, N+1 and N+2 (when 9696 is taken, say);
# --sim-control N and --web-port N then move one of them on its own.
# --mqtt also starts tavelor-mqtt, which publishes the panels' values to the MQTT broker on this
# computer (127.0.0.1:1883; when none listens there, a Mosquitto for this computer only, which
# ends with the rest) and takes commands from it; --mqtt HOST:PORT names another broker.
# Every other argument goes to tavelor-server (for example --fly, --debug or --replay FILE, whose
# moment and controls tavelor-web's index page then shows, or --flightgear HOST:PORT to follow a
# FlightGear started with --httpd=PORT).
set -euo pipefail
cd "$(dirname "$0")/.."

server_port=9696 control_port=9697 web_port=9080
moved=false control_given=false web_given=false
mqtt=false broker=127.0.0.1:1883
args=()
while (($#)); do
  case $1 in
    --mqtt)
      mqtt=true
      if (($# >= 2)) && [[ $2 != -* && $2 == *:* ]]; then broker=$2; shift; fi
      shift ;;
    --port | --sim-control | --web-port)
      (($# >= 2)) || { echo "run.sh: $1 needs a port number" >&2; exit 2; }
      [[ $2 =~ ^[0-9]+$ ]] && (($2 >= 1 && $2 <= 65533)) || { echo "run.sh: $1 $2: not a port number" >&2; exit 2; }
      case $1 in
        --port) server_port=$2 moved=true ;;
        --sim-control) control_port=$2 control_given=true ;;
        --web-port) web_port=$2 web_given=true ;;
      esac
      shift 2 ;;
    *) args+=("$1"); shift ;;
  esac
done
if $moved; then
  $control_given || control_port=$((server_port + 1))
  $web_given || web_port=$((server_port + 2))
fi
if $moved || $control_given || $web_given; then
  echo "run.sh: panels on port $server_port, the control channel on $control_port, browsers on $web_port" >&2
fi

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tavelor-server tavelor-sim tavelor-probe tavelor-web tavelor-mqtt

# The server first, then tavelor-web (and tavelor-mqtt) once the server listens (within 20 s), so
# that they find it at once; Ctrl+C ends them all.
build/release/tavelor-server --sim --port "$server_port" --sim-control "$control_port" ${args[@]+"${args[@]}"} &
server=$!
web="" bridge="" broker_pid=""
trap 'kill $server $web $bridge $broker_pid 2>/dev/null || true' EXIT
for _ in $(seq 200); do
  nc -z 127.0.0.1 "$server_port" 2>/dev/null && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$server" 2>/dev/null; then
  build/release/tavelor-web --server "127.0.0.1:$server_port" --port "$web_port" --sim-control "$control_port" &
  web=$!
  if $mqtt; then
    if [[ $broker == 127.0.0.1:1883 ]] && ! nc -z 127.0.0.1 1883 2>/dev/null; then
      echo "run.sh: no MQTT broker on 127.0.0.1:1883: starting Mosquitto there, for this computer only" >&2
      /usr/sbin/mosquitto -p 1883 >/dev/null 2>&1 &
      broker_pid=$!
    fi
    build/release/tavelor-mqtt --server "127.0.0.1:$server_port" --broker "$broker" &
    bridge=$!
  fi
fi
wait "$server"
