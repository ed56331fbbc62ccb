#!/usr/bin/env bash
# Builds everything and runs every test: the Linux unit and end-to-end tests (tavelor-web's in
# headless Chromium among them), the same again under AddressSanitizer and
# UndefinedBehaviorSanitizer, the Windows programs under Wine, and a
# short run of every fuzz target (a few seconds each, after the inputs that once failed).
# Fails when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --windows --fuzz --browser

echo "== Windows cross build"
windows_bin=$(scripts/build-windows.sh | tail -n 1)

echo "== Linux build and tests (with the Windows programs under Wine)"
cmake --preset release -DTAVELOR_WINDOWS_BIN_DIR="$windows_bin" >/dev/null
cmake --build --preset release
ctest --preset release

echo "== Linux tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize
ctest --preset sanitize

echo "== Fuzz targets, a short run each"
scripts/fuzz.sh 4
