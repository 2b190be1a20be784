#!/usr/bin/env bash
# Benchmark (not a test): makes a corpus in a temporary folder and reports lumtass's
# whole-process time and bytes read per file, beside soxi -D (sox) and mediainfo on the same
# files. Usage: bench/run.sh [FILES] [LUMTASS]   (FILES defaults to 1000, half WAVE, half Ogg)
set -euo pipefail
count=${1:-1000}
here=$(cd "$(dirname "$0")/.." && pwd)
lumtass=${2:-$here/build/bin/lumtass}   # build it as a release: RelWithDebInfo, the default
[ -x "$lumtass" ] || { echo "build lumtass first (cmake --build build)" >&2; exit 1; }
for tool in sox oggenc soxi mediainfo strace; do
  command -v "$tool" >/dev/null || { echo "missing $tool (apt-get install sox vorbis-tools mediainfo strace)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/src"

echo "making corpus of $count files in $work ..."
# Ogg: a few real encodings of 10-60 s, copied under many names (the probe's cost does not
# depend on the name, and encoding hundreds of files would dominate the run).
for s in 10 20 30 40 50 60; do
  sox -n -r 22050 -c 2 -b 16 "$work/src/tone$s.wav" synth "$s" sine $((200 + s * 7))
  oggenc -Q -q 0 -o "$work/src/tone$s.ogg" "$work/src/tone$s.wav"
  rm "$work/src/tone$s.wav"
done
# WAVE: a real 44-byte header from sox followed by sparse sample data of the declared size.
sox -n -r 44100 -c 2 -b 16 "$work/src/header.wav" synth 0.01 sine 440
make_wave() {  # path seconds
  local bytes=$(( $2 * 44100 * 4 ))
  python3 - "$1" "$bytes" "$work/src/header.wav" <<'PY'
import struct, sys
path, data_bytes, header = sys.argv[1], int(sys.argv[2]), sys.argv[3]
raw = open(header, 'rb').read()
pos = raw.index(b'data')
head = bytearray(raw[:pos + 8])
struct.pack_into('<I', head, 4, len(head) - 8 + data_bytes)
struct.pack_into('<I', head, pos + 4, data_bytes)
with open(path, 'wb') as f:
    f.write(head)
    f.truncate(len(head) + data_bytes)
PY
}
half=$((count / 2))
for ((i = 0; i < count - half; i++)); do
  make_wave "$work/corpus/w$i.wav" $((10 + i % 51))
done
secs=(10 20 30 40 50 60)
for ((i = 0; i < half; i++)); do
  cp "$work/src/tone${secs[i % 6]}.ogg" "$work/corpus/o$i.ogg"
done
# The two large files: a 1 GB sparse WAVE and a 10-minute Ogg.
make_wave "$work/big.wav" $(( 1000000000 / (44100 * 4) ))
sox -n -r 44100 -c 2 -b 16 "$work/src/long.wav" synth 600 sine 440 sine 554
oggenc -Q -q 2 -o "$work/long.ogg" "$work/src/long.wav"
rm "$work/src/long.wav"

# Bytes a lumtass run reads, counted as for the other programs (its output is not a terminal,
# so it ends without a pause).
lumtass_rchar() { strace_bytes "$lumtass" "$@"; }
# Bytes another program reads, from the read system calls it makes.
strace_bytes() {
  strace -f -qq -e trace=read,pread64,readv,preadv -o "$work/strace.txt" "$@" > /dev/null 2>&1 || true
  awk -F' = ' '/ = [0-9]+$/ {sum += $NF} END {print sum + 0}' "$work/strace.txt"
}
seconds_of() {  # runs the command three times, prints the best wall seconds (least disturbed)
  local start end best=""
  for _ in 1 2 3; do
    start=$(date +%s.%N); "$@" > /dev/null 2>&1 < /dev/null || true; end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
  done
  echo "$best"
}
per() { echo "scale=3; $1 * 1000000 / $2" | bc -l; }   # microseconds per file

# WAVE and Ogg interleaved, so every prefix of the list has the same mix.
files=()
for ((i = 0; i < count; i++)); do
  for f in "$work/corpus/w$i.wav" "$work/corpus/o$i.ogg"; do [ -f "$f" ] && files+=("$f"); done
done
n=${#files[@]}
base=$(lumtass_rchar)
echo
echo "== whole-process time, $n files in one run =="
t_l=$(seconds_of "$lumtass" "${files[@]}")
t_s=$(seconds_of soxi -D "${files[@]}")
t_m=$(seconds_of mediainfo "${files[@]}")
printf '%-10s %8.3f s  %10.1f us/file\n' lumtass "$t_l" "$(per "$t_l" "$n")"
printf '%-10s %8.3f s  %10.1f us/file  (%.1fx lumtass)\n' soxi "$t_s" "$(per "$t_s" "$n")" "$(echo "$t_s / $t_l" | bc -l)"
printf '%-10s %8.3f s  %10.1f us/file  (%.1fx lumtass)\n' mediainfo "$t_m" "$(per "$t_m" "$n")" "$(echo "$t_m / $t_l" | bc -l)"

echo
echo "== our cost over the decoder's, on the $half Ogg files =="
cc -O2 -o "$work/decoder_only" "$here/bench/decoder_only.c" $(pkg-config --cflags --libs stb)
oggs=("$work"/corpus/o*.ogg)
t_d=$(seconds_of "$work/decoder_only" "${oggs[@]}")
t_o=$(seconds_of "$lumtass" "${oggs[@]}")
printf 'decoder alone %8.3f s   lumtass %8.3f s   difference %8.1f us/file   (%.2fx)\n' "$t_d" "$t_o" \
  "$(echo "($t_o - $t_d) * 1000000 / ${#oggs[@]}" | bc -l)" "$(echo "$t_o / $t_d" | bc -l)"

echo
echo "== linearity: lumtass on the first N files =="
for k in $((n / 4)) $((n / 2)) "$n"; do
  t=$(seconds_of "$lumtass" "${files[@]:0:k}")
  printf 'N=%-6d %8.3f s  %10.1f us/file\n' "$k" "$t" "$(per "$t" "$k")"
done

echo
echo "== bytes read per file (program start-up subtracted for lumtass: $base bytes) =="
r_all=$(lumtass_rchar "${files[@]}")
s_all=$(strace_bytes soxi -D "${files[@]}")
m_all=$(strace_bytes mediainfo "${files[@]}")
printf '%-10s %12d bytes in all  %10.0f bytes/file\n' lumtass $((r_all - base)) "$(echo "($r_all - $base) / $n" | bc -l)"
printf '%-10s %12d bytes in all  %10.0f bytes/file\n' soxi "$s_all" "$(echo "$s_all / $n" | bc -l)"
printf '%-10s %12d bytes in all  %10.0f bytes/file\n' mediainfo "$m_all" "$(echo "$m_all / $n" | bc -l)"

echo
echo "== large files (bytes read, both routes; start-up subtracted for lumtass) =="
for f in "$work/big.wav" "$work/long.ogg"; do
  size=$(stat -c %s "$f")
  r=$(lumtass_rchar "$f")
  printf '%-9s %11d bytes  lumtass %7d  soxi %9d  mediainfo %9d\n' "$(basename "$f")" "$size" \
    $((r - base)) "$(strace_bytes soxi -D "$f")" "$(strace_bytes mediainfo "$f")"
done
