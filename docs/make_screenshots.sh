#!/usr/bin/env bash
# Remakes docs/lumtass.svg and docs/brevane.svg from real runs: the programs measure the
# samples under a pseudo-terminal, as after a drop onto their launchers, and the captured
# terminal output is drawn as a terminal window. Prints the config.cpp that brevane wrote.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-pkg -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_INSTALL_PREFIX=/usr > /dev/null
cmake --build build-pkg -j"$(nproc)" --target lumtass brevane > /dev/null

bin=$PWD/build-pkg/bin
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/home/Music" "$tmp/tools"
tracks=(intro.ogg outro.wav readme.txt theme.wav)
for track in "${tracks[@]}"; do cp "samples/$track" "$tmp/home/Music/"; done
# No editor window: brevane's xdg-open call is answered by a stand-in.
printf '#!/bin/sh\nexit 0\n' > "$tmp/tools/xdg-open"
chmod +x "$tmp/tools/xdg-open"

# PROGRAM OUTPUT.svg: runs PROGRAM by name from the home folder on the dropped tracks and
# presses a key once it pauses (for 30 s at most).
shoot() {
  local capture=$tmp/$1.capture
  : > "$capture"
  set +o pipefail
  (for _ in $(seq 100); do sleep 0.3; grep -q "Press any key" "$capture" && printf x; done) |
    (cd "$tmp/home" && HOME=$tmp/home PATH=$tmp/tools:$bin:$PATH \
       script -qec "$1 $(printf '%q ' "${tracks[@]/#/$tmp/home/Music/}")" /dev/null) > "$capture"
  set -o pipefail
  # The scratch home shows as a user's: Brevane names the folder it wrote into.
  sed -i "s|$tmp/home|/home/you|g" "$capture"
  python3 docs/render_terminal.py "$capture" "$2"
}
shoot lumtass docs/lumtass.svg
shoot brevane docs/brevane.svg
echo "config.cpp written by brevane into the home folder:"
iconv -f UTF-16LE -t UTF-8 "$tmp/home/config.cpp" | tr -d '\r'
