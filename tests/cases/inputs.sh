#!/usr/bin/env bash
# Makes the generated inputs of one end-to-end case: run.sh calls it as "inputs.sh CASE" in the
# case's scratch folder, where in/ becomes the program's working folder and app/ its own folder.
# One line per case; cases with only committed inputs need none.
set -euo pipefail
data=$CASES/../data

# Little-endian unsigned VALUE in BYTES bytes.
le() { local i; for ((i = 0; i < $2; i++)); do printf "\\x$(printf %02x $((($1 >> 8 * i) & 255)))"; done; }
# chunk ID SIZE [BODY]: a chunk header declaring SIZE, then BODY (printf format) or SIZE bytes
# of 8-bit silence, then the pad byte an odd SIZE needs.
chunk() {
  printf '%s' "$1"; le "$2" 4
  if [ $# -gt 2 ]; then printf "$3"; else head -c "$2" /dev/zero | tr '\0' '\200'; fi
  [ $(($2 % 2)) -eq 0 ] || printf '\0'
}
# fmt TAG CHANNELS RATE BITS [EXTRA]: a format chunk, 16 bytes plus EXTRA (printf format).
fmt() {
  local align=$(($2 * ($4 + 7) / 8)) extra=${5:-}
  printf 'fmt '; le $((16 + $(printf "$extra" | wc -c))) 4
  le "$1" 2; le "$2" 2; le "$3" 4; le $(($3 * align)) 4; le "$align" 2; le "$4" 2; printf "$extra"
}
# riff PATH: a RIFF/WAVE file of the chunks on standard input.
riff() { local t; t=$(mktemp); cat >"$t"; { printf RIFF; le $((4 + $(stat -c %s "$t"))) 4; printf WAVE; cat "$t"; } >"$1"; rm -f "$t"; }
# wave PATH RATE BYTES: mono 8-bit PCM, BYTES * 1000 / RATE ms.
wave() { { fmt 1 1 "$2" 8; chunk data "$3"; } | riff "$1"; }

case $1 in
  lister_order) wave in/b.wav 8000 12345; wave in/A.wav 8000 16000; mkdir in/x in/y; wave in/x/same.wav 8000 26000; wave in/y/same.wav 8000 16000 ;;
  generator_taken) wave in/outro.wav 1000 5668; cp "$data/vorbis_stereo_44k.ogg" in/intro.ogg; printf taken >app/config.cpp ;;
esac
