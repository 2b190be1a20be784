#!/usr/bin/env bash
# Remakes the committed test audio in this folder (needs sox and oggenc): committed, since the
# Windows tests run without the encoders. The cases' durations follow from the frames below.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# name  rate  channels  frames
ogg_fixtures=(
  "vorbis_mono_8k.ogg      8000 1  4001"
  "vorbis_stereo_44k.ogg  44100 2 22051"
  "vorbis_6ch_48k.ogg     48000 6 12007"
  "vorbis_stereo_96k.ogg  96000 2 24003"
)

for entry in "${ogg_fixtures[@]}"; do
  read -r name rate channels frames <<<"$entry"
  # Raw PCM with an exact frame count: sox's "s" suffix counts samples per channel, and the
  # rate and channel count go on the input side so that no resampling changes it; no dither,
  # so that a rerun gives the same bytes.
  sox -D -r "$rate" -c "$channels" -n -b 16 -e signed-integer -t raw "$work/pcm.raw" \
    synth "${frames}s" sine 440 vol 0.5
  # Lowest quality keeps the files a few KB; a fixed serial keeps them reproducible.
  oggenc --quiet --raw --raw-bits=16 --raw-chan="$channels" --raw-rate="$rate" \
    --quality=-1 --serial=7 --output="$name" "$work/pcm.raw"
done

# Content decides, not the name: Ogg data under a .wav name, WAVE data under an .ogg name.
cp vorbis_mono_8k.ogg ogg_data_named.wav
# 8000 Hz mono 16-bit, 4001 frames: a 8002-byte data chunk at 16000 bytes per second.
sox -D -r 8000 -c 1 -n -b 16 -e signed-integer -t wav wave_data_named.ogg synth 4001s sine 440 vol 0.5
