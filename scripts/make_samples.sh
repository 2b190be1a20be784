#!/usr/bin/env bash
# Remakes the demo files in samples/ with real encoders (sox, oggenc from vorbis-tools).
set -euo pipefail
cd "$(dirname "$0")/../samples"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# intro.ogg: 3.5 s of a chord, 22.05 kHz stereo, Ogg Vorbis at low quality.
sox -n -r 22050 -c 2 -b 16 "$tmp/intro.wav" synth 3.5 sine 440 sine 660 fade 0.1 3.5 0.5
oggenc -Q -q 0 -o intro.ogg "$tmp/intro.wav"
# outro.wav: 1.25 s, 8 kHz mono 8-bit PCM.
sox -n -r 8000 -c 1 -b 8 -e unsigned-integer outro.wav synth 1.25 triangle 220 fade 0 1.25 0.5
# theme.wav: Ogg Vorbis data under a .wav name; measured by content.
sox -n -r 11025 -c 1 -b 16 "$tmp/theme.wav" synth 2 sine 330
oggenc -Q -q 0 -o theme.wav "$tmp/theme.wav"
# readme.txt is not audio and is listed as n/a.
printf 'Not an audio file.\n' > readme.txt
