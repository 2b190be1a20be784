#!/usr/bin/env bash
# Benchmark (not a test): lumtass against the decoder floor (bench/decoder_only.c: stb_vorbis
# opens each file, finds its length and closes it, one thread, nothing around it) and soxi -D
# on FILES Ogg Vorbis files made by a real encoder, with one worker (taskset on one processor)
# and with all the processors this shell may use. Side by side in one run, alternating: warm
# (median of RUNS runs) and cold (page cache dropped before every run, COLD_RUNS runs; needs
# root, else skipped), each with its user and system time and peak resident memory; system
# calls per file (strace -c); instructions on the first 100 files (callgrind); the output of
# SAME_RUNS runs on all processors against one worker's; eight files with 63 MiB of cover art
# (their lines, time and peak memory, also as a memory control group counts it, where one can
# be made). The load average is shown before and after each timed part: run it on a quiet
# machine, or read the ratios with it.
#
# Usage: bench/floor.sh [FILES [LUMTASS [RUNS [COLD_RUNS [BEFORE]]]]]   (defaults 1000,
# build/bin/lumtass, 11, 5, none; COLD_RUNS 0 skips the cold runs). BEFORE, another lumtass
# build (e.g. of an older commit), is timed and counted beside LUMTASS in every part. SAME_RUNS
# (environment) defaults to 30. Needs a C compiler, libstb-dev, sox, vorbis-tools, valgrind and
# strace (apt-get install sox vorbis-tools valgrind strace). The files come as albums: ten
# files in a row share one of 36 encoder settings (quality -1 to 8, 22.05 to 48 kHz, mono and
# stereo), as a music folder holds them.
set -euo pipefail
count=${1:-1000}
here=$(cd "$(dirname "$0")/.." && pwd)
lumtass=${2:-$here/build/bin/lumtass}   # a release build: RelWithDebInfo, the default
runs=${3:-11}
cold_runs=${4:-5}
before=${5:-}
same_runs=${SAME_RUNS:-30}
[ -x "$lumtass" ] || { echo "build lumtass first (cmake --build build)" >&2; exit 1; }
[ -z "$before" ] || [ -x "$before" ] || { echo "$before is not a program" >&2; exit 1; }
missing() { echo "missing $1 (apt-get install sox vorbis-tools valgrind strace)" >&2; exit 1; }
for tool in sox soxi oggenc vorbiscomment valgrind strace taskset; do
  command -v "$tool" >/dev/null || missing "$tool"
done

work=$(mktemp -d)
group=''
trap 'rm -rf "$work"; [ -z "$group" ] || rmdir "$group" 2>/dev/null || true' EXIT
mkdir -p "$work/src" "$work/corpus" "$work/art"
cc -O2 -o "$work/floor" "$here/bench/decoder_only.c" $(pkg-config --cflags --libs stb)
cc -O2 -o "$work/timed_run" "$here/bench/timed_run.c"

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
variants=(floor lumtass-1 lumtass-all)
if [ -n "$before" ]; then
  command[before-1]="taskset -c $first_cpu $before"
  command[before-all]="$before"
  variants+=(before-1 before-all)
fi
variants+=(soxi)
load() { echo "load average $(cut -d' ' -f1-3 /proc/loadavg)"; }
# One run of variant $1 on the corpus: appends "wall user system peak-KiB" to $2.
timed() {
  "$work/timed_run" ${command[$1]} "${files[@]}" >"$work/out-$1" 2>>"$2" </dev/null
}
median() {  # of column $1 in file $2
  awk -v c="$1" '{print $c}' "$2" | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'
}
report() {  # times files' prefix: one line per variant, medians, wall as a multiple of the floor
  local floor m
  floor=$(median 1 "$1-floor")
  printf '  %-12s %8s %7s %7s %7s %9s\n' '' wall x-floor user system 'peak KiB'
  for variant in "${variants[@]}"; do
    m=$(median 1 "$1-$variant")
    printf '  %-12s %7.3fs %7.3f %6.3fs %6.3fs %9d\n' "$variant" "$m" \
      "$(echo "$m / $floor" | bc -l)" "$(median 2 "$1-$variant")" "$(median 3 "$1-$variant")" \
      "$(median 4 "$1-$variant")"
  done
}

echo
echo "== warm: $count files, median of $runs alternating runs ($processors processors) =="
load
for variant in "${variants[@]}"; do timed "$variant" "$work/ignored"; done
for ((r = 0; r < runs; r++)); do
  for variant in "${variants[@]}"; do timed "$variant" "$work/warm-$variant"; done
done
load
report "$work/warm"

echo
if [ "$cold_runs" -eq 0 ]; then
  echo "== no cold runs asked for =="
elif (sync && echo 3 >/proc/sys/vm/drop_caches) 2>/dev/null; then
  echo "== cold: page cache dropped before each run, median of $cold_runs alternating runs =="
  load
  for ((r = 0; r < cold_runs; r++)); do
    for variant in "${variants[@]}"; do
      sync && echo 3 >/proc/sys/vm/drop_caches
      timed "$variant" "$work/cold-$variant"
    done
  done
  load
  report "$work/cold"
else
  echo "== cold runs not possible: /proc/sys/vm/drop_caches cannot be written (not root) =="
fi

echo
echo "== output: $same_runs runs on all processors against one worker's =="
taskset -c "$first_cpu" "$lumtass" "${files[@]}" >"$work/expected" </dev/null
differ=0
for ((r = 0; r < same_runs; r++)); do
  "$lumtass" "${files[@]}" </dev/null | cmp -s - "$work/expected" || differ=$((differ + 1))
done
echo "  runs that differ: $differ of $same_runs ($(wc -l <"$work/expected") lines each)"

echo
echo "== system calls per file (strace -c, warm, all threads) =="
for variant in "${variants[@]}"; do
  strace -f -c -o "$work/strace" ${command[$variant]} "${files[@]}" >/dev/null 2>&1 \
    </dev/null || true
  printf '  %-12s %7.1f\n' "$variant" \
    "$(awk '$NF == "total" {print $(NF - 2) / '"$count"'}' "$work/strace")"
done

echo
echo "== instructions on the first 100 files (callgrind, all threads) =="
instructions() {  # variant: its instructions
  local pin=() program=${command[$1]}
  case $1 in *-1) pin=(taskset -c "$first_cpu"); program=${program##* } ;; esac
  "${pin[@]}" valgrind --tool=callgrind --callgrind-out-file=/dev/null $program \
    "${files[@]:0:100}" 2>&1 >/dev/null | sed -n 's/.*Collected : //p'
}
floor_ir=$(instructions floor)
for variant in "${variants[@]}"; do
  [ "$variant" != soxi ] || continue
  ir=$(instructions "$variant")
  printf '  %-12s %11d  %.3fx floor\n' "$variant" "$ir" "$(echo "$ir / $floor_ir" | bc -l)"
done

echo
echo "== eight files with 63 MiB of cover art, all processors, warm =="
cat "$work"/art/*.ogg >/dev/null
art() {  # program [group]: its lines (once), time and peak resident memory
  "$work/timed_run" "$@" "$work"/art/*.ogg </dev/null >"$work/art-out" 2>"$work/time"
  echo "  $(sed -n '4,$p' "$work/art-out" | tr '\n' ' ')"
  awk '{printf "  %.2f s, user %.2f s, system %.2f s, peak resident %d KiB\n", $1, $2, $3, $4}' \
    "$work/time"
}
# The peak of everything the run holds, memory files included, as a new memory control group
# below this shell's (v2 memory.peak, else v1 max_usage_in_bytes) counts it; the files were
# read before, so their pages are not the group's.
memory_group() {
  local top path
  path=$(awk -F: '$2 ~ /(^|,)memory(,|$)/ { print $3 }' /proc/self/cgroup)
  for top in /sys/fs/cgroup /sys/fs/cgroup/unified; do
    grep -qw memory "$top/cgroup.subtree_control" 2>/dev/null &&
      mkdir "$top/bench-$$" 2>/dev/null && echo "$top/bench-$$" && return
  done
  top=/sys/fs/cgroup/memory${path%/}
  [ -n "$path" ] && mkdir "$top/bench-$$" 2>/dev/null && echo "$top/bench-$$"
}
for program in "$lumtass" ${before:+"$before"}; do
  echo " $program"
  art "$program"
  if group=$(memory_group); then
    art sh -c 'echo $$ >"$0/cgroup.procs" && exec "$@"' "$group" "$program" >/dev/null
    peak=$(cat "$group/memory.peak" 2>/dev/null || cat "$group/memory.max_usage_in_bytes")
    echo "  memory control group peak $((peak >> 10)) KiB"
    rmdir "$group"
    group=''
  else
    echo "  no memory control group could be made (needs root)"
  fi
done
