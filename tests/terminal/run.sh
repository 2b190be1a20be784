#!/usr/bin/env bash
# What only a terminal shows, one run per platform inside a pseudo-terminal: the colours and
# the window title, a pause that waits for one key press, and the terminal's settings given
# back afterwards. The run's bytes, ends of lines and escapes made visible, must equal
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
cd "$work" && cp "$here/../data/wave_data_named.ogg" A.wav
failed=0

# in_terminal OUT COMMAND: runs COMMAND in a pseudo-terminal. Once the prompt has shown for a
# second, notes in OUT.waited whether COMMAND was still waiting, then presses a key.
in_terminal() {
  local out=$1
  : >"$out"
  (for ((i = 0; i < 600; i++)); do
    sleep 0.1
    if grep -q 'Press any key' "$out"; then
      sleep 1; grep -q ENDED "$out" || : >"$out.waited"; printf x; break
    fi
  done) | timeout 300 script -qec "$2; echo ENDED" /dev/null >"$out"
}

if [ -n "$wine" ]; then
  program=$(printf '%q ' "$wine" "$programs/Lumtass.exe")
  expected=$here/wine.txt
  # The console set-up read back from the real console Wine makes for a terminal.
  timeout 300 script -qec "$(printf '%q ' "$wine" "$helpers/console_check.exe") </dev/null" \
    /dev/null </dev/null | sed 's/\x1b\[[0-9;?]*[A-Za-z]//g; s/\r//g' >check.out
  if ! grep -q PASSED check.out || grep -q 'SKIPPED\|FAILED' check.out; then
    echo "FAIL: console check"; cat check.out; failed=1
  fi
else
  program="$programs/lumtass"
  expected=$here/native.txt
fi
in_terminal run.out "$program gone.ogg A.wav </dev/tty; stty -a | tr ' ;' '\n\n' | grep -x -- '-\?\(icanon\|echo\)'"
sed 's/\r$//' run.out | cat -v >rendered.txt
[ -f run.out.waited ] || { echo "FAIL: the pause did not wait for a key"; failed=1; }
if [ "$bless" -eq 1 ]; then cp rendered.txt "$expected"
elif ! cmp -s "$expected" rendered.txt; then
  echo "FAIL: the terminal shows"; diff -u "$expected" rendered.txt; failed=1
fi
[ "$failed" -eq 0 ] && echo "terminal: passed"
exit "$failed"
