#!/usr/bin/env bash
# Runs a Windows program under Wine (64-bit loader) for CTest: the cross build's emulator.
#
#   WINEPREFIX=PREFIX wine-emulator.sh PROGRAM [ARG...]
#   WINEPREFIX=PREFIX wine-emulator.sh --stop            stops the prefix's Wine server
#
# Refuses to run without WINEPREFIX: a test never touches the user's own ~/.wine. On its first
# use for a prefix it creates the prefix if needed, starts one server for the tests that follow
# (each later start is then quick) and lets Wine's background services start with their output
# on /dev/null: they live as long as the server and inherit the output of the program that
# started them, so a test's output pipe would otherwise stay open and CTest would wait on it
# until its timeout. The server ends a minute after its last program, or at --stop.
set -euo pipefail
prefix=${WINEPREFIX:?wine-emulator: set WINEPREFIX to a Wine prefix for the tests alone}
prefix=${prefix%/}

find_loader() {
  local candidate
  for candidate in "$(command -v wine64 || true)" /usr/lib/wine/wine64 /usr/lib64/wine/wine64 \
    /opt/wine-stable/bin/wine64; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
      echo "$candidate"
      return
    fi
  done
  echo "wine-emulator: no wine64 found" >&2
  exit 127
}

wine64=$(find_loader)
wineserver=$(dirname "$wine64")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
if [ "${1:-}" = --stop ]; then
  "$wineserver" -k 2>/dev/null || true  # none running is as good
  exit 0
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

{
  # One test at a time sets things up; the others wait for it. The lock's descriptor is closed
  # for everything started here, or the server and services would hold the lock for ever.
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    "$wine64" wineboot -i </dev/null >/dev/null 2>&1 9>&- || true
    "$wineserver" -w 9>&- || true
  fi
  # Exits at once, unsuccessfully, when a server already runs.
  if "$wineserver" -p60 2>/dev/null 9>&-; then
    "$wine64" cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
  fi
} 9>"$prefix.lock"  # beside the prefix, which may not exist yet

exec "$wine64" "$@"
