#!/usr/bin/env bash
# Builds everything and runs every test: the Linux unit and end-to-end tests (tavelor-web's in
# headless Chromium among them), the same again under AddressSanitizer and
# UndefinedBehaviorSanitizer, the Windows programs under Wine, the downloads (built, installed
# under Wine and unpacked, see scripts/check-packages.sh), and a short run of every fuzz target
# (a few seconds each, after the inputs that once failed), and the stand-in following a real
# FlightGear (Debian's, headless: a few minutes).
# Every stage runs even when an earlier one failed, so one run shows every fault; the script
# ends with one line per stage (passed or failed, and its time) and fails when any stage failed.
set -uo pipefail
cd "$(dirname "$0")/.."

summary=()
failures=0

# stage NAME COMMAND...: runs the command and notes how it went.
stage() {
  local name=$1
  shift
  echo "== $name"
  local start=$SECONDS status=passed
  "$@" || status=failed
  [[ $status == failed ]] && failures=$((failures + 1))
  summary+=("$(printf '%-6s %5ds  %s' "$status" $((SECONDS - start)) "$name")")
}

windows_bin=""
windows_build() {
  windows_bin=$(scripts/build-windows.sh | tail -n 1) && [[ -n $windows_bin ]]
}

# Without a Windows build the Wine tests are left out of the configuration, rather than run
# against the programs of an earlier build.
linux() {
  cmake --preset release -DTAVELOR_WINDOWS_BIN_DIR="$windows_bin" >/dev/null &&
    cmake --build --preset release &&
    ctest --preset release
}

# The downloads in dist/, from the builds above; their checks take a few minutes at most.
packages() {
  scripts/package.sh && timeout --kill-after=30 900 scripts/check-packages.sh
}

# FlightGear started twice (about a minute each to fly), against the release build above.
flightgear() {
  (cd tests/flightgear && TAVELOR_BIN="$PWD/../../build/release" timeout --kill-after=30 1200 \
    python3 -m unittest -v flightgear_test)
}

sanitize() {
  cmake --preset sanitize >/dev/null &&
    cmake --build --preset sanitize &&
    ctest --preset sanitize
}

stage "Dependencies" scripts/install-deps.sh --windows --fuzz --browser --package --flightgear
stage "Windows cross build" windows_build
linux_name="Linux build and tests, with the Windows programs under Wine"
[[ -z $windows_bin ]] && linux_name="Linux build and tests (no Windows build: Wine tests left out)"
stage "$linux_name" linux
stage "Packages: the zip, the installer under Wine, the .deb" packages
stage "Linux tests under AddressSanitizer and UndefinedBehaviorSanitizer" sanitize
stage "Fuzz targets, a short run each" scripts/fuzz.sh 4
stage "The stand-in following FlightGear" flightgear

echo "== Summary"
printf '%s\n' "${summary[@]}"
if ((failures > 0)); then
  echo "$failures of ${#summary[@]} stages failed"
  exit 1
fi
echo "all ${#summary[@]} stages passed"
