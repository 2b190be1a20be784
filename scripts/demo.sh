#!/usr/bin/env bash
# Installs what is missing, builds the programs and runs them on the bundled samples.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh build
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF
cmake --build build -j"$(nproc)"
# A key press ends each run; with no terminal on standard input the pause returns at once.
build/bin/lumtass samples/*
