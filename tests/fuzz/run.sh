#!/usr/bin/env bash
# tests/fuzz/run.sh [SECONDS [libFuzzer flags...]]: builds the probe's libFuzzer target with
# clang (address and undefined-behaviour sanitizers, the decoder compiled in and instrumented,
# assertions on as in Debian's libstb) and fuzzes it SECONDS (600). A long run that records
# every finding: run.sh 1800 -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1
# New inputs go to build-fuzz/corpus (seeded from tests/fuzz/corpus), findings to
# build-fuzz/artifacts; a fixed one belongs in tests/fuzz/regressions, which every test replays.
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
