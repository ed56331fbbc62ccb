#!/usr/bin/env bash
# Cross-builds the Windows programs (TavelorServer.exe, tavelor-sim.exe and the Wine tests'
# win_inspect.exe) with MinGW-w64, and prints the folder they are in, alone on standard output:
#
#   bin="$(scripts/build-windows.sh)"
#   cmake --preset release -DTAVELOR_WINDOWS_BIN_DIR="$bin"
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

if ! command -v x86_64-w64-mingw32-g++ >/dev/null && ! command -v x86_64-w64-mingw32-g++-win32 >/dev/null; then
  echo "build-windows.sh: MinGW-w64 is missing (Debian/Ubuntu: apt-get install g++-mingw-w64-x86-64)" >&2
  exit 1
fi

# Progress goes to standard error, so standard output carries the folder only.
cmake --preset mingw >&2
cmake --build --preset mingw -j2 >&2
echo "$root/build/mingw"
