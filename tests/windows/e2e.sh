#!/usr/bin/env bash
# End-to-end runs of the Windows programs under Wine, each inside a pseudo-terminal so that
# Wine gives the program a real console. Wine's console host turns console attributes into
# 16-colour escape sequences on the terminal; the runs below read them back.
#
#   e2e.sh GROUP    GROUP: console, lister, generator, full-disk
#
# Environment (set by CMake): WINE64 (runs a Windows program: the cross build's emulator),
# PROGRAM_DIR (Lumtass.exe, Brevane.exe), HELPER_DIR
# (notepad.exe, console_check.exe), SOURCE_DIR. LINUX_BREVANE optionally names a native
# brevane whose configuration file the Windows one must match byte for byte.
set -euo pipefail

group=${1:?group}
: "${WINE64:?}" "${PROGRAM_DIR:?}" "${HELPER_DIR:?}" "${SOURCE_DIR:?}"
export WINEDEBUG=-all LC_ALL=C.UTF-8 SHELL=/bin/bash

work=$(mktemp -d /tmp/windows-e2e.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL [$group]: $*" >&2
  failures=$((failures + 1))
}

# The Windows form of an absolute POSIX path: Wine's drive Z: is the root folder.
win_path() { printf 'Z:%s' "${1//\//\\}"; }

# run_in_terminal OUT DIR ARG... : runs wine64 ARG... in folder DIR inside a pseudo-terminal,
# standard input at its end; the terminal's bytes go to OUT. Returns the program's exit code.
run_in_terminal() {
  local out=$1 dir=$2
  shift 2
  local command
  command=$(printf '%q ' "$WINE64" "$@")
  (cd "$dir" && timeout 300 script -qec "$command </dev/null" /dev/null </dev/null >"$out")
}

# run_ok NAME OUT DIR ARG... : run_in_terminal, a failure of NAME unless the exit code is 0.
run_ok() {
  local name=$1 status=0
  shift
  run_in_terminal "$@" || status=$?
  [ "$status" -eq 0 ] || fail "$name: exit code $status"
}

# The terminal bytes as lines "FG/BG|text": FG and BG are the SGR colour codes in force when the
# line's first character was drawn, "-" for the terminal's default. Lines without characters
# have no colour. Cursor moves, erasures and titles are dropped.
colour_lines() {
  perl -e '
    local $/; my $s = <STDIN>;
    $s =~ s/\e\][^\a]*\a//g; $s =~ s/\r//g;
    my ($fg, $bg, $line, $attr) = ("-", "-", "", undef);
    while (length $s) {
      if ($s =~ s/^\e\[([0-9;]*)m//) {
        for my $p (split /;/, ($1 eq "" ? "0" : $1)) {
          if ($p == 0) { ($fg, $bg) = ("-", "-") }
          elsif (($p >= 30 && $p <= 37) || ($p >= 90 && $p <= 97)) { $fg = $p }
          elsif (($p >= 40 && $p <= 47) || ($p >= 100 && $p <= 107)) { $bg = $p }
          elsif ($p == 39) { $fg = "-" } elsif ($p == 49) { $bg = "-" }
        }
      } elsif ($s =~ s/^\e\[[0-9;?]*[A-Za-z]//) {
      } elsif ($s =~ s/^\n//) {
        print((defined $attr ? $attr : ""), "|", $line, "\n"); ($line, $attr) = ("", undef);
      } else {
        $s =~ s/^(.)//s; $attr = "$fg/$bg" unless defined $attr; $line .= $1;
      }
    }
    print((defined $attr ? $attr : ""), "|", $line, "\n") if length $line;'
}

# How Wine shows console attribute A (background * 16 + foreground): Windows colour order
# (blue, green, cyan, red, magenta, yellow) mapped to SGR order; grey on black is the default.
sgr_of() {
  local fg=$(($1 % 16)) bg=$(($1 / 16))
  local -a ansi=(0 4 2 6 1 5 3 7)
  local f b
  if [ "$fg" -eq 7 ]; then f=-; elif [ "$fg" -lt 8 ]; then f=$((30 + ansi[fg])); else f=$((90 + ansi[fg - 8])); fi
  if [ "$bg" -eq 0 ]; then b=-; elif [ "$bg" -lt 8 ]; then b=$((40 + ansi[bg])); else b=$((100 + ansi[bg - 8])); fi
  printf '%s/%s' "$f" "$b"
}

# line ATTRIBUTE TEXT: one expected colour line.
line() { printf '%s|%s\n' "$(sgr_of "$1")" "$2"; }

header_lines() {
  line 7 "-------------------------"
  line 7 "[Filename]  -  [Duration]"
  line 7 "-------------------------"
}

usage_lines() {
  line 13 "[Usage] Drag and drop .wav and/or .ogg files onto this .exe"
  printf '|\n'
}

# check_console NAME RAW EXPECTED_LINES TITLE: the coloured lines up to the pause prompt, the
# prompt as the last line, and the window title.
check_console() {
  local name=$1 raw=$2 expected=$3 title=$4
  local got
  got=$(colour_lines <"$raw")
  if [ "$(printf '%s\n' "$got" | sed '$d')" != "$expected" ]; then
    fail "$name: console lines differ"
    diff <(printf '%s\n' "$expected") <(printf '%s\n' "$got" | sed '$d') >&2 || true
  fi
  # The interpreter's own prompt ends every run; Wine words it without the blanks between dots.
  if ! printf '%s\n' "$got" | tail -n 1 | grep -q '^-/-|Press any key to continue'; then
    fail "$name: no pause prompt at the end"
  fi
  grep -qF $'\e]0;'"$title"$'\a' "$raw" || fail "$name: window title \"$title\" not set"
}

# A PCM WAVE file: RIFF header, 16-byte fmt chunk, data chunk of DATA_BYTES zero bytes.
make_wave() {
  local path=$1 rate=$2 channels=$3 bits=$4 data_bytes=$5
  local align=$((channels * bits / 8))
  le() { local v=$1 n=$2 i; for ((i = 0; i < n; i++)); do printf "\\x$(printf %02x $(((v >> (8 * i)) & 255)))"; done; }
  {
    printf 'RIFF'; le $((36 + data_bytes)) 4; printf 'WAVEfmt '; le 16 4
    le 1 2; le "$channels" 2; le "$rate" 4; le $((rate * align)) 4; le "$align" 2; le "$bits" 2
    printf 'data'; le "$data_bytes" 4
    head -c "$data_bytes" /dev/zero
  } >"$path"
}

# The test audio: two folders, the same name in both, a non-ASCII name, a file that is no audio.
make_inputs() {
  local data=$work/data
  mkdir -p "$data/Music" "$data/Other"
  cp "$SOURCE_DIR/tests/data/vorbis_stereo_44k.ogg" "$data/Music/intro.ogg"  # 22051 / 44100 s
  cp "$SOURCE_DIR/tests/data/vorbis_6ch_48k.ogg" "$data/Other/intro.ogg"     # 12007 / 48000 s
  make_wave "$data/Music/outro.wav" 44100 2 16 1000000                       # 5668 ms
  make_wave "$data/Other/ünï ♫.wav" 8000 1 16 984000                         # 61500 ms
  printf 'not audio\n' >"$data/Music/notes.txt"
}

# A fresh program folder holding PROGRAM and the stand-in editor.
make_app() {
  local dir=$1 program=$2
  mkdir -p "$dir"
  cp "$PROGRAM_DIR/$program" "$HELPER_DIR/notepad.exe" "$dir/"
}

# The configuration file as UTF-16LE, from "FOLDER" and "CLASS FILE DURATION" entries.
expected_config() {
  local folder=$1
  shift
  {
    printf 'class CfgMusic\r\n{\r\n'
    printf '\t#define TRACK_NAME(NAME) $STR_A3_CfgMusic_##NAME\r\n'
    printf '\t#define TRACK_PATH(FILE) %s\\##FILE\r\n' "$folder"
    local entry class file duration
    for entry in "$@"; do
      IFS='|' read -r class file duration <<<"$entry"
      printf '\r\n\tclass %s\r\n\t{\r\n' "$class"
      printf '\t\tname = TRACK_NAME(%s);\r\n' "$class"
      printf '\t\tsound[] = { TRACK_PATH(%s), db+0, 1.0 };\r\n' "$file"
      printf '\t\tduration = %s;\r\n' "$duration"
      printf '\t\tmusicClass = "";\r\n\t\ttheme = "";\r\n\t};\r\n'
    done
    printf '};\r\n'
  } | iconv -f UTF-8 -t UTF-16LE
}

# wait_for_editor DIR: the stand-in editor's command line (UTF-8), once it has written it.
# ShellExecuteW does not wait for the editor, so it may finish after the program.
wait_for_editor() {
  local record=$1/notepad-command-line.txt i
  for ((i = 0; i < 300; i++)); do
    if [ -f "$record" ]; then
      iconv -f UTF-16LE -t UTF-8 "$record"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# check_editor NAME DIR PATH: the editor was started once, with PATH as its unquoted parameter.
check_editor() {
  local name=$1 dir=$2 path=$3 command_line
  if ! command_line=$(wait_for_editor "$dir"); then
    fail "$name: editor not started"
    return
  fi
  # The program token is Wine's choice ("notepad" quoted); what follows it is ours.
  local parameters=${command_line#\"*\" }
  [ "$parameters" = "$path" ] || fail "$name: editor parameters [$parameters], wanted [$path]"
}

# An editor started by mistake may write its record after the program has ended; a few seconds'
# grace catches that. (A slower one would go unnoticed, never fail a good run.)
check_no_editor() {
  local name=$1 dir=$2 i
  for ((i = 0; i < 50; i++)); do
    if [ -e "$dir/notepad-command-line.txt" ]; then
      fail "$name: editor started"
      return
    fi
    sleep 0.1
  done
}

# check_write_failure NAME RAW DIR: outro.wav listed, the failure message in its colours and no
# editor started from DIR.
check_write_failure() {
  check_console "$1" "$2" "$(header_lines
    line 10 "outro.wav  -  5.67"
    line 198 "Could not write to file!"
    printf '|\n')" "Orvend's Brevane v1.0"
  check_no_editor "$1" "$3"
}

group_console() {
  local out=$work/console.out
  local status=0
  run_in_terminal "$out" "$work" "$HELPER_DIR/console_check.exe" --gtest_color=no || status=$?
  [ "$status" -eq 0 ] || fail "console check failed (exit $status)"
  # Without a console every check would be skipped and still pass.
  if grep -q 'SKIPPED' "$out"; then fail "console check skipped: no console in the terminal"; fi
  [ "$failures" -eq 0 ] || sed 's/\x1b\[[0-9;?]*[A-Za-z]//g; s/\r//g' "$out" >&2
}

group_lister() {
  make_inputs
  local data=$work/data app=$work/lister out=$work/lister.out status=0
  make_app "$app" Lumtass.exe
  local exe
  exe=$(win_path "$app/Lumtass.exe")

  # Listed by name in code-unit order; the later of two same-named files wins; n/a in red.
  run_ok lister "$out" "$data" "$exe" "$(win_path "$data/Music/intro.ogg")" 'Z:\nowhere\missing.wav' \
    "$(win_path "$data/Other/ünï ♫.wav")" 'Music\outro.wav' 'Other\intro.ogg'
  check_console lister "$out" "$(header_lines
    line 10 "intro.ogg  -  0.25"
    line 12 "missing.wav  -  n/a"
    line 10 "outro.wav  -  5.67"
    line 10 "ünï ♫.wav  -  61.50"
    printf '|\n')" "Orvend's Lumtass v1.0"

  # No arguments: the usage line only.
  run_ok "lister usage" "$out" "$data" "$exe"
  check_console "lister usage" "$out" "$(usage_lines)" "Orvend's Lumtass v1.0"

  # Devices, a folder and a FIFO are not measured and block nothing.
  mkfifo "$data/pipe.ogg"
  run_ok "lister devices" "$out" "$data" "$exe" CON NUL COM1 "$(win_path "$data/Music")" 'pipe.ogg'
  check_console "lister devices" "$out" "$(header_lines
    line 12 "COM1  -  n/a"
    line 12 "CON  -  n/a"
    line 12 "Music  -  n/a"
    line 12 "NUL  -  n/a"
    line 12 "pipe.ogg  -  n/a"
    printf '|\n')" "Orvend's Lumtass v1.0"

  # Hostile Ogg headers: each listed as n/a, in one run that ends normally.
  local hostile=$SOURCE_DIR/tests/hostile/data
  if compgen -G "$hostile/*.ogg" >/dev/null; then
    local -a paths=()
    local expected file
    expected=$(header_lines
      for file in "$hostile"/*.ogg; do line 12 "$(basename "$file")  -  n/a"; done
      printf '|\n')
    for file in "$hostile"/*.ogg; do paths+=("$(win_path "$file")"); done
    run_ok "lister hostile" "$out" "$data" "$exe" "${paths[@]}"
    check_console "lister hostile" "$out" "$expected" "Orvend's Lumtass v1.0"
  fi

  # The pause waits for a key when one can come, and returns on it.
  local fifo=$work/keys
  mkfifo "$fifo"
  (cd "$data" && timeout 300 script -qec "$(printf '%q ' "$WINE64" "$exe")" /dev/null <"$fifo" >"$out") &
  local pid=$!
  exec 3>"$fifo"
  local i
  for ((i = 0; i < 600; i++)); do
    grep -q 'Press any key' "$out" 2>/dev/null && break
    sleep 0.1
  done
  sleep 1
  if ! kill -0 "$pid" 2>/dev/null; then fail "lister pause: ended without a key"; fi
  printf 'x' >&3
  exec 3>&-
  status=0
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || fail "lister pause: exit code $status after the key"
}

group_generator() {
  make_inputs
  local data=$work/data app=$work/generator out=$work/generator.out
  make_app "$app" Brevane.exe
  local exe app_win
  exe=$(win_path "$app/Brevane.exe")
  app_win=$(win_path "$app")

  # Absolute paths as a drop gives them: keyed and ordered by full path.
  run_ok generator "$out" "$data" "$exe" "$(win_path "$data/Other/ünï ♫.wav")" \
    "$(win_path "$data/Music/outro.wav")" "$(win_path "$data/Music/notes.txt")" \
    "$(win_path "$data/Music/intro.ogg")"
  check_console generator "$out" "$(header_lines
    line 10 "intro.ogg  -  0.50"
    line 12 "notes.txt  -  n/a"
    line 10 "outro.wav  -  5.67"
    line 10 "ünï ♫.wav  -  61.50"
    printf '|\n')" "Orvend's Brevane v1.0"
  expected_config "$(win_path "$data/Music")" "intro|intro.ogg|0.50" "outro|outro.wav|5.67" \
    "ünï ♫|ünï ♫.wav|61.50" >"$work/expected.cpp"
  cmp -s "$work/expected.cpp" "$app/config.cpp" || fail "generator: config.cpp differs from the expected text"
  check_editor generator "$app" "$app_win\\config.cpp"

  # The same inputs again, as relative paths: config.cpp is kept and config(1).cpp written.
  rm -f "$app/notepad-command-line.txt"
  cp "$app/config.cpp" "$work/first.cpp"
  local -a relative=('Music\intro.ogg' 'Music\notes.txt' 'Music\outro.wav' 'Other\ünï ♫.wav')
  run_ok "generator second run" "$out" "$data" "$exe" "${relative[@]}"
  cmp -s "$work/first.cpp" "$app/config.cpp" || fail "generator second run: config.cpp changed"
  expected_config 'Music' "intro|intro.ogg|0.50" "outro|outro.wav|5.67" \
    "ünï ♫|ünï ♫.wav|61.50" >"$work/expected1.cpp"
  cmp -s "$work/expected1.cpp" "$app/config(1).cpp" || fail "generator second run: config(1).cpp differs"
  check_editor "generator second run" "$app" "$app_win\\config(1).cpp"

  # The native build, on files whose names hold the same backslash paths, writes the same bytes.
  local linux=${LINUX_BREVANE:-$SOURCE_DIR/build/bin/brevane}
  if [ -x "$linux" ]; then
    local native=$work/native
    mkdir -p "$native/app" "$native/bin"
    cp "$linux" "$native/app/brevane"
    printf '#!/bin/sh\nexit 0\n' >"$native/bin/xdg-open"
    chmod +x "$native/bin/xdg-open"
    local name
    for name in "${relative[@]}"; do cp "$data/${name//\\//}" "$native/$name"; done
    (cd "$native" && PATH="$native/bin:$PATH" ./app/brevane "${relative[@]}" </dev/null >/dev/null) ||
      fail "native brevane failed"
    cmp -s "$native/app/config.cpp" "$app/config(1).cpp" ||
      fail "generator: config(1).cpp differs from the native build's config.cpp"
  else
    echo "note: no native brevane at $linux; the native comparison is left out" >&2
  fi

  # Every name taken: the table, the failure message in its colours, nothing created.
  local taken=$work/taken i
  make_app "$taken" Brevane.exe
  printf 'taken' >"$taken/config.cpp"
  for ((i = 1; i <= 99; i++)); do printf 'taken' >"$taken/config($i).cpp"; done
  run_ok "generator all taken" "$out" "$data" "$(win_path "$taken/Brevane.exe")" 'Music\outro.wav'
  check_write_failure "generator all taken" "$out" "$taken"
  [ "$(cat "$taken"/config*.cpp)" = "$(printf 'taken%.0s' {1..100})" ] ||
    fail "generator all taken: an existing file changed"
  [ "$(find "$taken" -name 'config*' | wc -l)" -eq 100 ] || fail "generator all taken: a file was created"

  # No arguments: the usage line, no file, no editor.
  local empty=$work/empty
  make_app "$empty" Brevane.exe
  run_ok "generator usage" "$out" "$data" "$(win_path "$empty/Brevane.exe")"
  check_console "generator usage" "$out" "$(usage_lines)" "Orvend's Brevane v1.0"
  [ -z "$(find "$empty" -name 'config*')" ] || fail "generator usage: a file was created"
  check_no_editor "generator usage" "$empty"
}

# A write that fails on a full disk leaves no file behind and reports like a failed creation.
group_full_disk() {
  make_inputs
  local disk=$work/disk out=$work/full.out
  mkdir -p "$disk"
  if [ "$(id -u)" -ne 0 ] || ! mount -t tmpfs -o size=8m tmpfs "$disk" 2>/dev/null; then
    echo "note: cannot mount a small tmpfs here (needs root); the full-disk run is left out" >&2
    return
  fi
  trap "umount '$disk' 2>/dev/null; rm -rf '$work'" EXIT
  make_app "$disk" Brevane.exe
  dd if=/dev/zero of="$disk/filler" bs=4k 2>/dev/null || true
  # Names can still be made there: the creation succeeds and the writing fails.
  : >"$disk/probe" || { fail "full disk: cannot create an empty file"; return; }
  rm -f "$disk/probe"
  run_ok "full disk" "$out" "$work/data" "$(win_path "$disk/Brevane.exe")" 'Music\outro.wav'
  check_write_failure "full disk" "$out" "$disk"
  [ -z "$(find "$disk" -name 'config*')" ] || fail "full disk: an incomplete file was left"
}

case $group in
  console) group_console ;;
  lister) group_lister ;;
  generator) group_generator ;;
  full-disk) group_full_disk ;;
  *) echo "unknown group $group" >&2; exit 2 ;;
esac

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s) in $group" >&2
  exit 1
fi
echo "$group: all passed"
