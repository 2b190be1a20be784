#!/usr/bin/env bash
# What only a terminal shows, one run per platform inside a pseudo-terminal: the colours of
# every attribute and the window title, a pause that waits for one key press, and the
# terminal's settings given back afterwards. The run's bytes, escapes made visible, must equal
# native.txt (or wine.txt) here; --bless rewrites that file.
#
#   run.sh [--bless] PROGRAM_DIR                       native lumtass
#   run.sh [--bless] --wine WINE PROGRAM_DIR HELPERS   Lumtass.exe, and HELPERS/console_check.exe
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bless=0 wine=''
[ "${1:-}" = --bless ] && { bless=1; shift; }
[ "${1:-}" = --wine ] && { wine=$2; shift 2; }
programs=$(cd "${1:?program folder}" && pwd) helpers=$(cd "${2:-.}" && pwd)
export LC_ALL=C.UTF-8 WINEDEBUG=-all SHELL=/bin/sh
work=$(mktemp -d /tmp/terminal.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work" && cp "$here/../data/wave_data_named.ogg" A.wav && mkdir full
: >full/config.cpp && for i in {1..99}; do : >"full/config($i).cpp"; done
failed=0

# in_terminal OUT COMMAND: runs COMMAND in a pseudo-terminal and presses a key at each prompt
# once it has shown for a second. Notes in OUT.waited whether the first program was still
# waiting then (COMMAND prints RAN after it).
in_terminal() {
  local out=$1 seen=0 count
  : >"$out"
  (for ((i = 0; i < 1200; i++)); do
    sleep 0.1
    count=$(grep -o 'Press any key' "$out" | wc -l)
    if [ "$count" -gt "$seen" ]; then
      sleep 1; [ "$seen" -gt 0 ] || grep -q RAN "$out" || : >"$out.waited"; printf x; seen=$count
    fi
    grep -q ENDED "$out" && break
  done) | timeout 300 script -qec "$2; echo ENDED" /dev/null >"$out"
}

if [ -n "$wine" ]; then
  cp "$programs/Lumtass.exe" "$helpers/console_state.exe" . && cp "$programs/Brevane.exe" full/
  # One console session, as in a cmd window the user keeps using: the console's state is logged
  # before and after each program, and must come back as it was. Last, output into a file:
  # no prompt and no wait.
  state='console_state.exe state.log'
  run="$(printf '%q ' "$wine" cmd /c "console_state.exe set 150 state.log \
    & Lumtass.exe gone.ogg A.wav & $state & Lumtass.exe & $state & full\Brevane.exe A.wav \
    & $state & Lumtass.exe A.wav > piped.txt & $state"); echo RAN"
  expected=$here/wine.txt
  redirected=$'-------------------------\n[Filename]  -  [Duration]\n-------------------------\nA.wav  -  0.50'
  # The console set-up read back from the real console Wine makes for a terminal.
  timeout 300 script -qec "$(printf '%q ' "$wine" "$helpers/console_check.exe") </dev/null" \
    /dev/null </dev/null | sed 's/\x1b\[[0-9;?]*[A-Za-z]//g; s/\r//g' >check.out
  if ! grep -q PASSED check.out || grep -q 'SKIPPED\|FAILED' check.out; then
    echo "FAIL: console check"; cat check.out; failed=1
  fi
else
  cp "$programs/brevane" full/
  # Last, output into a pipe while input stays the terminal: no prompt and no wait.
  run="$programs/lumtass gone.ogg A.wav; echo RAN; $programs/lumtass; full/brevane A.wav
    { timeout 10 $programs/lumtass A.wav; echo \"exit \$?\"; } | cat"
  expected=$here/native.txt
fi
# Measured and n/a lines, then the usage line, then the write failure, then redirected output.
in_terminal run.out "$run
  stty -a | tr ' ;' '\n\n' | grep -x -- '-\?\(icanon\|echo\)'"
sed 's/\r$//' run.out | cat -v >rendered.txt
[ -f run.out.waited ] || { echo "FAIL: the pause did not wait for a key"; failed=1; }
if [ -n "$wine" ] && [ "$(sort -u state.log | wc -l)/$(wc -l <state.log)" != 1/5 ]; then
  echo "FAIL: the console is not left as found"; cat state.log; failed=1
fi
if [ -n "$wine" ] && [ "$(tr -d '\r' <piped.txt)" != "$redirected" ]; then
  echo "FAIL: output into a file"; cat -v piped.txt; failed=1
fi
if [ "$bless" -eq 1 ]; then cp rendered.txt "$expected"
elif ! cmp -s "$expected" rendered.txt; then
  echo "FAIL: the terminal shows"; diff -u "$expected" rendered.txt; failed=1
fi
[ "$failed" -eq 0 ] && echo "terminal: passed"
exit "$failed"
