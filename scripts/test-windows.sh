#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64 into build-win/ (build-win/bin/Lumtass.exe
# and Brevane.exe) and runs every test under Wine: the unit tests through the emulator, the
# end-to-end runs inside pseudo-terminals. Fails when any test fails. Needs no standard input:
# it makes its own Wine prefix in build-win/wine-prefix.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
[ "$jobs" -gt 2 ] || jobs=2
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-win -j"$jobs"

export WINEPREFIX=$PWD/build-win/wine-prefix
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and their installers would ask for a download.
export WINEDLLOVERRIDES="mscoree,mshtml="
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

# Creates the prefix on the first run (and updates it after a Wine upgrade); then waits for the
# server it started to go, so the persistent one below is the only one.
"$wine64" wineboot -i </dev/null >/dev/null 2>&1
"$wineserver" -w
# One server for every test, so each Wine start is quick; stopped on the way out.
"$wineserver" -p
trap '"$wineserver" -k 2>/dev/null || true' EXIT
# Wine's background services start with the first program and live as long as the server. They
# inherit that program's output; started here, they cannot hold a test's output pipe open.
"$wine64" cmd /c exit </dev/null >/dev/null 2>&1

ctest --test-dir build-win --output-on-failure -j"$jobs"
