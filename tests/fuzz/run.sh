#!/usr/bin/env bash
# Builds the probe's libFuzzer target with clang (address and undefined-behaviour sanitizers,
# the stb_vorbis decoder compiled in and instrumented) and fuzzes it for a bounded time.
#
#   tests/fuzz/run.sh [seconds [libFuzzer flags...]]      default 600 seconds
#
# For a long unattended run that records every finding instead of stopping at the first:
#   tests/fuzz/run.sh 1800 -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1
#
# New inputs go to build-fuzz/corpus (seeded from tests/fuzz/corpus, kept between runs);
# crashes, leaks, timeouts and oversized allocations go to build-fuzz/artifacts. A finding
# belongs in tests/fuzz/regressions once fixed, where every test run replays it.
#
# Assertions stay on (a Debug build, optimised by hand), as in Debian's libstb, where a failed
# assertion aborts the program.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-600}"
shift || true
build=build-fuzz
flags="-g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DSTB_VORBIS_FROM_SOURCE=ON -DPROBE_FUZZER=ON >/dev/null
cmake --build "$build" --target probe_fuzzer -j2
mkdir -p "$build/corpus" "$build/artifacts"
# One process: the machine is shared. The limits turn a runaway allocation or a hang into a
# finding instead of a slow machine: no single allocation above 256 MiB, no input above 10 s.
"$build/bin/probe_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
  -malloc_limit_mb=256 -max_len=65536 -print_final_stats=1 \
  -artifact_prefix="$build/artifacts/" "$@" "$build/corpus" tests/fuzz/corpus
