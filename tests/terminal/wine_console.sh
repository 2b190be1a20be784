#!/usr/bin/env bash
# The console given back under Wine, in the real console Wine makes for a pseudo-terminal:
#  - Ctrl+C while the table is printing, and at the pause, leaves the console as it was before
#    the program, text attribute included; the runs repeat, as the interrupt races the output;
#  - an 80-column console of 25 lines keeps a line wider than that whole, its last lines in
#    the window and the terminal's screen free of blank lines pushed in by the restore.
# Each program runs in one console session between two logs of console_state.exe.
#
#   wine_console.sh WINE PROGRAM_DIR HELPERS
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wine=$1 programs=$(cd "$2" && pwd) helpers=$(cd "$3" && pwd)
export WINEDEBUG=-all
work=$(mktemp -d /tmp/wine_console.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work" && cp "$programs/Lumtass.exe" "$helpers/console_state.exe" "$helpers/launch.exe" .
failed=0

# session OUT COMMAND_LINES PATTERN KEYS...: runs the command lines (an array's name) one after
# another in one console, in a pseudo-terminal that types KEYS when PATTERN shows.
session() {
  local out=$1 name=$2[@]
  shift 2
  local command
  command=$(printf '%q ' "$wine" launch.exe . "${!name}")
  python3 "$here/press_keys.py" "$out" "$command" "$@" ||
    { echo "FAIL: the session in $out did not end well"; failed=1; }
}

# same_lines LOG WHAT COUNT: LOG holds COUNT lines, all the same; else WHAT failed.
same_lines() {
  if [ "$(sort -u "$1" | wc -l)/$(wc -l <"$1")" != "1/$3" ]; then
    echo "FAIL: $2"; cat "$1"; failed=1
  fi
}

# Ctrl+C at the pause, then while the table is printing (eight runs of 800 lines), twice. Each
# run starts from the same state.
table=$(seq 1 800 | tr '\n' ' ')
set_state="console_state.exe set 9999 stop.log"
for round in 1 2; do
  lines=("$set_state" "Lumtass.exe 1 2 3" "console_state.exe stop.log")
  keys=('Press any key' '\x03')
  for _ in {1..8}; do
    lines+=("$set_state" "Lumtass.exe $table" "console_state.exe stop.log")
    keys+=('\[Filename\]' '' '  -  n/a' '\x03')
  done
  session "stop$round.out" lines "${keys[@]}"
  # How far the tables came: the interrupt's moment is not checked, only its outcome.
  echo "Ctrl+C, round $round: table lines shown per run:" \
    "$(sed 's/\r//g' "stop$round.out" | awk '/\[Filename\]/ { if (n) printf "%d ", n; n = 0 }
                                               / -  n\/a/ { ++n } END { print n }')"
done
same_lines stop.log "Ctrl+C while printing or at the pause changes the console" 36

# An 80 x 25 console, output taller than that and a 117-character line, the table's last.
long=zz$(printf '%0107d' 0)
lines=("console_state.exe set 25 wide.log" "Lumtass.exe $(seq 1 60 | tr '\n' ' ')$long"
       "console_state.exe wide.log \"$long  -  n/a\"")
session wide.out lines 'Press any key' x
if [ "$(sed -n 3p wide.log)" != "text whole, in view" ]; then
  echo "FAIL: the wide line is cut or out of view"; cat wide.log; failed=1
fi
# The buffer may stay larger than it was, so that nothing is cut; the rest comes back.
sed -n '1,2p' wide.log | sed 's/ buffer [0-9]*x[0-9]*//' >wide.rest
same_lines wide.rest "the console is not given back around the wide line" 2
# What the terminal shows after the table's last line: the closing and the prompt.
after=$(awk -v name="$long" 'index($0, name) { n = 0; next } { ++n } END { print n }' wide.out)
if [ "$after" -gt 5 ]; then
  echo "FAIL: $after lines pushed into the terminal after the table"; failed=1
fi

[ "$failed" -eq 0 ] && echo "wine console: passed"
exit "$failed"
