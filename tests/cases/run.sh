#!/usr/bin/env bash
# Runs the end-to-end cases in this folder (format: README.md) and compares what each program
# printed, wrote and opened with the case's expected files.
#
#   run.sh [--bless] [--wine WINE NOTEPAD] PROGRAM_DIR [CASE...]
#
# PROGRAM_DIR holds lumtass and brevane, or with --wine Lumtass.exe and Brevane.exe, run through
# WINE with NOTEPAD as the stand-in editor. --bless (native only) rewrites the expected files
# from what the programs did. Fails when any case fails.
set -uo pipefail
cases=$(cd "$(dirname "$0")" && pwd)
bless=0 wine='' notepad=''
[ "${1:-}" = --bless ] && { bless=1; shift; }
[ "${1:-}" = --wine ] && { wine=$2 notepad=$3; shift 3; }
programs=$(cd "${1:?program folder}" && pwd)
shift
export LC_ALL=C.UTF-8 WINEDEBUG=-all
work=$(mktemp -d /tmp/cases.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0 passed=0 skipped=0

# Native paths as the program sees them: Wine's drive Z: is the root folder.
platform_path() { if [ -n "$wine" ]; then printf 'Z:%s' "${1//\//\\}"; else printf '%s' "$1"; fi; }

# Expected text with the placeholders filled in; under Wine a line that holds a placeholder
# has its slashes turned into backslashes.
expand() {
  local line
  while IFS= read -r line || [ -n "$line" ]; do
    [[ -z $wine || $line != *@IN@* && $line != *@APP@* ]] || line=${line//\//\\}
    line=${line//@IN@/$in_path}
    printf '%s\n' "${line//@APP@/$app_path}"
  done
}

# The reverse, for --bless: absolute paths back to placeholders.
unexpand() { sed -e "s|$scratch/in|@IN@|g" -e "s|$scratch/app|@APP@|g"; }

# The stand-in editor's record: one argument per line. Under Wine the program token of the
# command line is Wine's ("notepad", quoted); what follows it is the program's.
editor_record() {
  if [ -z "$wine" ]; then cat "$scratch/editor-args" 2>/dev/null; return; fi
  [ -f "$scratch/app/notepad-command-line.txt" ] &&
    iconv -f UTF-16LE -t UTF-8 "$scratch/app/notepad-command-line.txt" | sed 's/^"[^"]*" //; $a\'
}

fail() { echo "FAIL $name: $*"; ok=0; }

run_case() {
  local dir=$1 program ok=1 status=0 line in_path app_path closed='' stdin=/dev/null
  local -a argv=()
  name=$(basename "$dir") scratch=$work/$(basename "$dir")
  if [ -n "$wine" ] && [ -e "$dir/posix-only" ]; then skipped=$((skipped + 1)); return; fi
  # AddressSanitizer builds reserve terabytes up front, so no address-space limit can hold
  # them: their run sets CASES_NO_ULIMIT, and a case that needs the limit is left out.
  if [ -n "${CASES_NO_ULIMIT:-}" ] && [ -f "$dir/ulimit" ]; then
    echo "SKIP $name: needs an address-space limit"
    skipped=$((skipped + 1)); return
  fi
  mkdir -p "$scratch/in" "$scratch/app" "$scratch/tools"
  read -r program <"$dir/args"
  local exe=$program out=$scratch/stdout err=$scratch/stderr
  [ -z "$wine" ] || exe=${program^}.exe
  # The program's folder on a small file system, then filled: names can still be created
  # there, but writing fails.
  if [ -f "$dir/disk" ] && { [ "$(id -u)" -ne 0 ] ||
    ! mount -t tmpfs -o "size=$(cat "$dir/disk")k" tmpfs "$scratch/app"; }; then
    echo "SKIP $name: no small file system can be mounted (needs root)"
    skipped=$((skipped + 1)); return
  fi
  cp "$programs/$exe" ${wine:+"$notepad"} "$scratch/app/"
  [ ! -f "$dir/disk" ] || head -c 1G /dev/zero >"$scratch/app/filler" 2>/dev/null
  [ ! -d "$dir/in" ] || cp -a "$dir/in/." "$scratch/in/"
  [ ! -d "$dir/app" ] || cp -a "$dir/app/." "$scratch/app/"
  (cd "$scratch" && CASES="$cases" bash "$cases/inputs.sh" "$name") || fail "inputs not made"
  cp -a "$scratch/app" "$scratch/app.before"

  in_path=$(platform_path "$scratch/in") app_path=$(platform_path "$scratch/app")
  { read -r line; while IFS= read -r line || [ -n "$line" ]; do
      printf -v line '%b' "$line"; [ -z "$wine" ] || line=${line//\//\\}
      line=${line//@IN@/$in_path}; argv+=("${line//@APP@/$app_path}"); done; } <"$dir/args"
  [ ! -f "$dir/stdin" ] || stdin=$dir/stdin
  [ ! -f "$dir/closed" ] || [ -n "$wine" ] || closed=" $(cat "$dir/closed") "
  if [ -n "$wine" ]; then
    (cd "$scratch/in" && timeout 300 "$wine" "$app_path\\$exe" "${argv[@]}") \
      <"$stdin" >"$out" 2>"$err" || status=$?
    # The command interpreter's own pause prompt, worded and ended as on the other platforms.
    sed -i '$s/^Press any key to continue\.\.\. *$/Press any key to continue . . . /' "$out"
    [ -z "$(tail -c 1 "$out")" ] || echo >>"$out"
  else
    local args_file=$scratch/editor-args
    printf '#!/bin/sh\nprintf "%%s\\n" "$@" >"%s.part" && mv "%s.part" "%s"\n' \
      "$args_file" "$args_file" "$args_file" >"$scratch/tools/xdg-open"
    chmod +x "$scratch/tools/xdg-open"
    (cd "$scratch/in" && export PATH="$scratch/tools:$PATH" &&
      { [ ! -f "$dir/ulimit" ] || ulimit -v "$(<"$dir/ulimit")"; } &&
      for fd in $closed; do eval "exec $fd>&-"; done &&
      exec timeout 300 "$scratch/app/$program" "${argv[@]}") \
      <"$stdin" >"$out" 2>"$err" || status=$?
  fi
  [ "$status" -eq 0 ] || fail "exit code $status"
  [[ $closed == *" 2 "* ]] || [ ! -s "$err" ] || fail "standard error: $(head -c 300 "$err")"

  if [ "$bless" -eq 1 ]; then
    [[ $closed == *" 1 "* ]] || unexpand <"$out" >"$dir/stdout"
  elif [[ $closed != *" 1 "* ]] && ! cmp -s <(expand <"$dir/stdout") "$out"; then
    fail "standard output differs"; diff -u <(expand <"$dir/stdout") "$out" | head -40
  fi

  # The editor is started without waiting for it: give its record time to appear.
  local i record=''
  for ((i = 0; i < 100; i++)); do
    [ "$program" = brevane ] || break
    record=$(editor_record) && break
    [ -f "$dir/editor" ] || [ "$i" -lt 10 ] || break
    sleep 0.1
  done
  if [ "$bless" -eq 1 ]; then
    rm -f "$dir/editor"; [ -z "$record" ] || printf '%s\n' "$record" | unexpand >"$dir/editor"
  elif [ -f "$dir/editor" ]; then
    local wanted
    wanted=$(expand <"$dir/editor")
    [ "$record" = "$wanted" ] || fail "editor opened [$record], wanted [$wanted]"
  elif [ -n "$record" ]; then
    fail "editor started on [$record]"
  fi

  # Files in the program's folder: those there before unchanged, the new ones as expected.
  local file base written
  [ "$bless" -eq 0 ] || rm -rf "$dir/out"
  for file in "$scratch/app"/*; do
    base=$(basename "$file")
    case $base in "$exe" | notepad.exe | notepad-command-line.txt*) continue ;; esac
    if [ -L "$scratch/app.before/$base" ]; then
      [ "$(readlink "$file")" = "$(readlink "$scratch/app.before/$base")" ] || fail "$base changed"
    elif [ -e "$scratch/app.before/$base" ]; then
      cmp -s "$file" "$scratch/app.before/$base" || fail "$base changed"
    elif [ "$bless" -eq 1 ]; then
      mkdir -p "$dir/out"
      iconv -f UTF-16LE -t UTF-8 "$file" | sed 's/\r$//' | unexpand >"$dir/out/$base.txt"
    elif [ ! -f "$dir/out/$base.txt" ] && [ ! -f "$dir/out/$base" ]; then
      fail "$base written, not expected"
    fi
  done
  for file in "$dir"/out/*; do
    [ -f "$file" ] && [ "$bless" -eq 0 ] || continue
    base=$(basename "${file%.txt}") written=$scratch/app/$(basename "${file%.txt}")
    # Readable text as the bytes the programs write: UTF-16LE with CR LF.
    if [ ! -f "$written" ]; then fail "$base not written"
    elif ! expand <"$file" | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE | cmp -s - "$written"; then
      fail "$base differs"
      iconv -f UTF-16LE -t UTF-8 "$written" | sed 's/\r$//' | diff -u <(expand <"$file") - |
        head -40
    fi
  done
  [ ! -f "$dir/disk" ] || umount "$scratch/app"
  [ "$ok" -eq 0 ] || { passed=$((passed + 1)); rm -rf "$scratch"; return; }
  failed=$((failed + 1))
}

[ $# -gt 0 ] || set -- "$cases"/*/
for dir in "$@"; do
  [[ $dir == */* ]] || dir=$cases/$dir
  run_case "${dir%/}"
done
echo "cases: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
