#!/usr/bin/env bash
# Builds the native programs and runs every native test.
set -euo pipefail
cd "$(dirname "$0")/.."
# The demo configures build/ without tests; switch them on explicitly.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
cmake --build build -j"$(nproc)"
ctest --test-dir build --no-tests=error --output-on-failure -j"$(nproc)"
