#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine, only when something is
# missing: tavelor-mqtt's library, and the broker and its command-line clients its tests run
# against, among them. `--windows` adds the MinGW-w64 cross compiler and Wine for the Windows program;
# `--fuzz` adds clang 14 and its libFuzzer and sanitizer runtimes for the fuzz targets;
# `--browser` adds Chromium and Python for tavelor-web's tests in a real browser; `--package`
# adds what scripts/package.sh builds the downloads with (NSIS, zip, CPack's Debian tools, the
# Markdown converter) and scripts/check-packages.sh unpacks and checks them with (devscripts'
# hardening-check); `--flightgear` adds FlightGear (about 1.8 GB) and what runs it without a
# screen (Xvfb, a private D-Bus session) for the tests of the stand-in following it.
set -euo pipefail

packages=(cmake g++ make libgtest-dev netcat-openbsd libboost-dev nlohmann-json3-dev libcli11-dev
  node-qrcode-generator libmosquitto-dev mosquitto mosquitto-clients python3)
for option in "$@"; do
  case "$option" in
    --windows) packages+=(g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix wine wine64 iproute2) ;;
    --browser) packages+=(chromium python3) ;;
    --fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
    --package) packages+=(nsis zip unzip dpkg-dev python3-markdown devscripts) ;;
    --flightgear) packages+=(flightgear xvfb xauth dbus python3) ;;
    *) echo "install-deps.sh: unknown option $option" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
$sudo apt-get update -qq
# devscripts (for hardening-check) without what it only recommends: a mail server and more.
bare=(devscripts)
plain=()
for p in "${missing[@]}"; do [[ " ${bare[*]} " == *" $p "* ]] || plain+=("$p"); done
if ((${#plain[@]} > 0)); then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${plain[@]}" >/dev/null
fi
if ((${#plain[@]} < ${#missing[@]})); then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${bare[@]}" >/dev/null
fi
