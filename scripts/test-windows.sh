#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64 into build-win/ (build-win/bin/Lumtass.exe
# and Brevane.exe) and runs every test under Wine: the unit tests through the emulator, the
# end-to-end runs inside pseudo-terminals. Fails when any test fails. Needs no standard input:
# it makes its own Wine prefix in build-win/wine-prefix.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBUILD_TESTING=ON
cmake --build build-win -j"$jobs"

# The emulator script (cmake/wine-emulator.sh) creates this prefix and starts one persistent
# Wine server on first use; it is stopped on the way out.
export WINEPREFIX=$PWD/build-win/wine-prefix
export WINEDEBUG=-all
trap 'WINEPREFIX="$WINEPREFIX" /usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT

ctest --test-dir build-win --no-tests=error --output-on-failure -j"$jobs"
