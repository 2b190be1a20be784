#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64 into build-win/bin and runs every test under
# Wine, in the build's own prefix build-win/wine-prefix (cmake/wine-emulator.sh): the unit tests
# through the emulator, the end-to-end cases with output redirected, the terminal run inside a
# pseudo-terminal. Fails when any test fails; needs no standard input.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
cmake --build build-win -j"$(nproc)"
# The tests stop their Wine server at the end; this stops it also when the run is cut short.
trap 'WINEPREFIX=$PWD/build-win/wine-prefix bash cmake/wine-emulator.sh --stop' EXIT
ctest --test-dir build-win --no-tests=error --output-on-failure -j"$(nproc)"
