#!/usr/bin/env bash
# Builds the whole test suite once more with AddressSanitizer and UndefinedBehaviorSanitizer,
# the stb_vorbis decoder compiled in and instrumented (not Debian's plain libstb), and runs it:
# the hostile inputs and the fuzz corpus are replayed once, deterministically. Any report ends
# the run with a failure. Assertions stay on, as in Debian's libstb.
set -euo pipefail
cd "$(dirname "$0")/.."
flags="-O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=all"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DSTB_VORBIS_FROM_SOURCE=ON -DBUILD_TESTING=ON
cmake --build build-asan -j2
# Leaks count as failures; a report names the program and the input. AddressSanitizer reserves
# terabytes of address space up front and the checks open pipes, so no case can run under an
# address-space or descriptor limit.
export CASES_SANITIZED=1 ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build-asan --no-tests=error --output-on-failure -j2
