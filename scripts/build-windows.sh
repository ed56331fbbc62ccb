#!/usr/bin/env bash
# Cross-builds the Windows programs (TavelorServer.exe, tavelor-sim.exe, tavelor-probe.exe,
# tavelor-web.exe and the Wine tests' win_inspect.exe) with MinGW-w64, and prints the folder they
# are in, alone on standard output:
#
#   bin="$(scripts/build-windows.sh)"
#   cmake --preset release -DTAVELOR_WINDOWS_BIN_DIR="$bin"
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null && ! command -v x86_64-w64-mingw32-g++ >/dev/null; then
  echo "build-windows.sh: MinGW-w64 is missing (Debian/Ubuntu: apt-get install g++-mingw-w64-x86-64)" >&2
  exit 1
fi

# A folder configured when the build used MinGW's "-win32" compiler is configured anew.
fresh=()
grep -q '^CMAKE_CXX_COMPILER:.*-win32$' build/mingw/CMakeCache.txt 2>/dev/null && fresh=(--fresh)

# Progress goes to standard error, so standard output carries the folder only.
cmake --preset mingw "${fresh[@]}" >&2
cmake --build --preset mingw -j2 >&2
echo "$root/build/mingw"
