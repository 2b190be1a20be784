#!/usr/bin/env bash
# Benchmark (not a test): lumtass against the decoder floor (bench/decoder_only.c: stb_vorbis
# opens each file, finds its length and closes it, one thread, nothing around it) on FILES Ogg
# Vorbis files made by a real encoder, with one worker (taskset on one processor) and with all
# the processors this shell may use; warm (median of RUNS alternating runs) and cold (page
# cache dropped before every run, COLD_RUNS alternating runs, soxi -D beside them), the peak
# resident memory of each, the instructions on the first 100 files (callgrind), and eight files
# with 63 MiB of cover art (their lines and peak memory). Needs sox, vorbis-tools, valgrind and
# /usr/bin/time; cold runs need root (writing /proc/sys/vm/drop_caches), else they are skipped.
#
# Usage: bench/floor.sh [FILES [LUMTASS [RUNS [COLD_RUNS]]]]   (defaults 1000, build/bin/lumtass,
# 11, 5). The files come as albums: ten files in a row share one of 36 encoder settings
# (quality -1 to 8, 22.05 to 48 kHz, mono and stereo), as a music folder holds them.
set -euo pipefail
count=${1:-1000}
here=$(cd "$(dirname "$0")/.." && pwd)
lumtass=${2:-$here/build/bin/lumtass}   # a release build: RelWithDebInfo, the default
runs=${3:-11}
cold_runs=${4:-5}
[ -x "$lumtass" ] || { echo "build lumtass first (cmake --build build)" >&2; exit 1; }
missing() { echo "missing $1 (apt-get install sox vorbis-tools valgrind time)" >&2; exit 1; }
for tool in sox oggenc vorbiscomment valgrind taskset; do
  command -v "$tool" >/dev/null || missing "$tool"
done
[ -x /usr/bin/time ] || missing /usr/bin/time

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src" "$work/corpus" "$work/art"
cc -O2 -o "$work/floor" "$here/bench/decoder_only.c" $(pkg-config --cflags --libs stb)

echo "making $count files in $work ..."
setting=0
for q in -1 0 2 4 6 8; do
  for rate in 22050 44100 48000; do
    for channels in 1 2; do
      sox -D -n -r "$rate" -c "$channels" -b 16 "$work/in.wav" synth 20 pinknoise vol 0.5
      oggenc -Q -q "$q" -t "Track $setting" -a Artist -l Album -o "$work/src/$setting.ogg" \
        "$work/in.wav"
      setting=$((setting + 1))
    done
  done
done
files=()
for ((i = 0; i < count; i++)); do
  files+=("$work/corpus/$(printf '%05d' "$i").ogg")
  cp "$work/src/$(((i / 10) % setting)).ogg" "${files[i]}"
done
# Cover art as taggers embed it: 47 MiB of picture, 63 MiB as base64, in a 1.3 s track.
sox -D -n -r 44100 -c 2 -b 16 "$work/in.wav" synth 1.3 pinknoise vol 0.5
oggenc -Q -o "$work/art/plain.ogg" "$work/in.wav"
python3 -c 'import base64, os, struct; n = 47 << 20
print("METADATA_BLOCK_PICTURE=" + base64.b64encode(struct.pack(">II9s6I", 3, 9, b"image/png", 0,
      4000, 3000, 24, 0, n) + b"\x89PNG\r\n\x1a\n" + os.urandom(n - 8)).decode())' >"$work/tag"
vorbiscomment -a -c "$work/tag" "$work/art/plain.ogg" "$work/art/0.ogg"
for i in 1 2 3 4 5 6 7; do cp "$work/art/0.ogg" "$work/art/$i.ogg"; done
rm -f "$work/in.wav" "$work/tag" "$work/art/plain.ogg"

first_cpu=$(taskset -pc $$ | sed 's/.*: *//; s/[,-].*//')
processors=$(nproc)
declare -A command=(
  [floor]="$work/floor"
  [lumtass-1]="taskset -c $first_cpu $lumtass"
  [lumtass-all]="$lumtass"
  [soxi]="soxi -D"
)
seconds() {  # wall seconds of one run of variant $1 on the corpus
  local start end
  start=$(date +%s.%N)
  ${command[$1]} "${files[@]}" >"$work/out-$1" 2>/dev/null </dev/null || true
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
report() {  # variant, its times file, the floor's median
  local m
  m=$(median <"$2")
  printf '  %-12s %7.3f s  %5.2fx floor\n' "$1" "$m" "$(echo "$m / $3" | bc -l)"
}

echo
echo "== warm: $count files, median of $runs alternating runs ($processors processors) =="
for variant in floor lumtass-1 lumtass-all; do seconds "$variant" >/dev/null; done
cp "$work/out-lumtass-1" "$work/expected"
same=yes
for ((r = 0; r < runs; r++)); do
  for variant in floor lumtass-1 lumtass-all; do
    seconds "$variant" >>"$work/warm-$variant"
    case $variant in lumtass-*) cmp -s "$work/out-$variant" "$work/expected" || same=no ;; esac
  done
done
floor=$(median <"$work/warm-floor")
for variant in floor lumtass-1 lumtass-all; do
  report "$variant" "$work/warm-$variant" "$floor"
done
echo "  lumtass output identical in every run: $same"

echo
if (sync && echo 3 >/proc/sys/vm/drop_caches) 2>/dev/null; then
  variants=(floor lumtass-1 lumtass-all)
  command -v soxi >/dev/null && variants+=(soxi)
  echo "== cold: page cache dropped before each run, median of $cold_runs alternating runs =="
  for ((r = 0; r < cold_runs; r++)); do
    for variant in "${variants[@]}"; do
      sync && echo 3 >/proc/sys/vm/drop_caches
      seconds "$variant" >>"$work/cold-$variant"
    done
  done
  floor=$(median <"$work/cold-floor")
  for variant in "${variants[@]}"; do report "$variant" "$work/cold-$variant" "$floor"; done
else
  echo "== cold runs not possible: /proc/sys/vm/drop_caches cannot be written (not root) =="
fi

echo
echo "== peak resident memory (warm, /usr/bin/time) =="
for variant in floor lumtass-1 lumtass-all; do
  /usr/bin/time -f '%M' -o "$work/rss" ${command[$variant]} "${files[@]}" >/dev/null 2>&1 \
    </dev/null || true
  printf '  %-12s %7d KiB\n' "$variant" "$(tail -1 "$work/rss")"
done

echo
echo "== instructions on the first 100 files (callgrind, lumtass with one worker) =="
instructions() {  # [pin] PROGRAM: its instructions, pinned to one processor with "pin"
  local pin=()
  [ "$1" = pin ] && { pin=(taskset -c "$first_cpu"); shift; }
  "${pin[@]}" valgrind --tool=callgrind --callgrind-out-file=/dev/null "$1" "${files[@]:0:100}" \
    2>&1 >/dev/null | sed -n 's/.*Collected : //p'
}
floor_ir=$(instructions "$work/floor")
lumtass_ir=$(instructions pin "$lumtass")
printf '  floor %d   lumtass %d   (%.3fx)\n' "$floor_ir" "$lumtass_ir" \
  "$(echo "$lumtass_ir / $floor_ir" | bc -l)"

echo
echo "== eight files with 63 MiB of cover art, all processors =="
/usr/bin/time -f '%e s, peak %M KiB' -o "$work/rss" "$lumtass" "$work"/art/*.ogg </dev/null |
  sed -n '4,$p'
echo "  $(tail -1 "$work/rss")"
