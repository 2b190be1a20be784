#!/usr/bin/env bash
# Runs the end-to-end cases in this folder and compares what each program printed, wrote and
# opened with the case's expected files (README.md: the format, markers and options).
#
#   run.sh [--bless] [--wine WINE HELPERS] PROGRAM_DIR [CASE...]
set -uo pipefail
cases=$(cd "$(dirname "$0")" && pwd)
bless=0 wine='' helpers=''
[ "${1:-}" = --bless ] && { bless=1; shift; }
[ "${1:-}" = --wine ] && { wine=$2 helpers=$(cd "$3" && pwd); shift 3; }
programs=$(cd "${1:?program folder}" && pwd)
shift
export LC_ALL=C.UTF-8 WINEDEBUG=-all
version=$(sed -n 's/^project([^ ]* VERSION \([^ ]*\).*/\1/p' "$cases/../../CMakeLists.txt")
work=$(mktemp -d /tmp/cases.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0 passed=0 skipped=0 elsewhere=0 root=0
[ "$(id -u)" -ne 0 ] || root=1

# Expected text with the placeholders filled in; under Wine a line that holds a placeholder
# has its slashes turned into backslashes.
expand() {
  local line
  while IFS= read -r line || [ -n "$line" ]; do
    [[ -z $wine || $line != *@IN@* && $line != *@APP@* ]] || line=${line//\//\\}
    line=${line//@IN@/$in_path} line=${line//@VERSION@/$version}
    printf '%s\n' "${line//@APP@/$app_path}"
  done
}

# The reverse, for --bless: absolute paths and the version line back to placeholders.
unexpand() {
  sed -e "s|$scratch/in|@IN@|g" -e "s|$scratch/app|@APP@|g" \
    -e "s/^\(Lumtass\|Brevane\) ${version//./\\.}\$/\\1 @VERSION@/"
}

# The programs' UTF-16LE, CR LF files as readable text, and back.
readable() { iconv -f UTF-16LE -t UTF-8 "$@" | sed 's/\r$//'; }
written_form() { sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; }

# Under Wine the stand-in editor is the system's Notepad, which Wine runs instead of its own
# only when told to. Copies planted beside the program and in the working folder must never run.
if [ -n "$wine" ]; then
  system=${WINEPREFIX:?the Wine prefix whose Notepad is replaced}/drive_c/windows
  "$wine" cmd /c exit </dev/null >/dev/null 2>&1  # makes the prefix on first use
  system_notepad() {
    cp "$helpers/notepad.exe" "$system/system32/" && cp "$helpers/notepad.exe" "$system/"
  }
  system_notepad || exit 1
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=};notepad.exe=n"
fi

fail() { echo "FAIL $name: $*"; ok=0; }

# The case cannot run here: told with its reason. A case that needs root fails instead when
# running as root, so that every root run counts the same cases.
skip() {
  if [ "${2:-}" = root ] && [ "$root" -eq 1 ]; then fail "$1, though running as root"; return 1; fi
  echo "SKIP $name: $1"; ok=skip
  return 1
}

# Makes the scratch folders, the inputs and the arguments. Sets program, exe, app, in_path,
# app_path, argv, stdin and closed.
setup() {
  # AddressSanitizer builds reserve terabytes up front, so no address-space limit can hold
  # them: their run sets CASES_NO_ULIMIT, and a case that needs the limit is left out.
  [ -z "${CASES_NO_ULIMIT:-}" ] || [ ! -f "$dir/ulimit" ] || skip "needs an address-space limit" ||
    return
  mkdir -p "$scratch/in" "$scratch/tools"
  # app is the program's folder, or a link to it where it lies deeper than 260 characters.
  app=$scratch/app
  if [ -f "$dir/deep-app" ]; then
    app=$scratch$(printf '/a deep folder %0100d' 1 2 3)/app
    mkdir -p "$app" && ln -s "$app" "$scratch/app"
  fi
  mkdir -p "$app"
  read -r program <"$dir/args"
  exe=$program
  [ -z "$wine" ] || exe=${program^}.exe
  # The program's folder on a small file system, then filled: names can still be created
  # there, but writing fails.
  if [ -f "$dir/disk" ]; then
    { [ "$root" -eq 1 ] && mount -t tmpfs -o "size=$(<"$dir/disk")k" tmpfs "$scratch/app"; } ||
      skip "no small file system can be mounted (needs root)" root || return
    mounted=$scratch/app
  fi
  cp "$programs/$exe" "$scratch/app/"
  [ -z "$wine" ] || { cp "$helpers/notepad.exe" "$scratch/app/" &&
    cp "$helpers/notepad.exe" "$scratch/in/" && rm -f "$system/system32/notepad-command-line.txt"; }
  [ ! -f "$dir/disk" ] || head -c 1G /dev/zero >"$scratch/app/filler" 2>/dev/null
  [ ! -d "$dir/in" ] || cp -a "$dir/in/." "$scratch/in/"
  [ ! -d "$dir/app" ] || cp -a "$dir/app/." "$scratch/app/"
  (cd "$scratch" && CASES="$cases" bash "$cases/inputs.sh" "$name") ||
    { fail "inputs not made"; return 1; }
  mkdir "$scratch/app.before" && cp -a "$scratch/app/." "$scratch/app.before/"

  # Under Wine the paths as the program sees them: drive Z: is the root folder.
  in_path=$scratch/in app_path=$app
  [ -z "$wine" ] || in_path=Z:${in_path//\//\\} app_path=Z:${app_path//\//\\}
  # Under Wine each '/' becomes '\' before the escapes are read, so "\x2f" stays a '/'.
  local line
  while IFS= read -r line || [ -n "$line" ]; do
    [ -z "$wine" ] || line=${line//\//\\\\}; printf -v line '%b' "$line"
    line=${line//@IN@/$in_path}; argv+=("${line//@APP@/$app_path}")
  done < <(tail -n +2 "$dir/args"; cat "$scratch/more-args" 2>/dev/null)
  [ ! -f "$dir/stdin" ] || stdin=$dir/stdin
  [ ! -f "$dir/closed" ] || [ -n "$wine" ] || closed=" $(<"$dir/closed") "
}

# Runs a command under Wine, stopped after $CASES_WINE_LIMIT seconds (300) with status 124 as
# timeout does. Before stopping it, notes in $scratch/stall where it stands: the waits of its
# Unix threads, Wine's list of processes, and a backtrace of every thread of the case's
# Windows programs ($exe, launch.exe), so that a stall seen once in many runs can be told apart
# as the program's own or Wine's.
wine_limited() {
  "$@" <&0 &  # standard input stays the case's: a background job would get /dev/null
  local pid=$! sleeper ended status
  sleep "${CASES_WINE_LIMIT:-300}" </dev/null >/dev/null 2>&1 &
  sleeper=$!
  wait -n -p ended "$pid" "$sleeper"
  status=$?
  if [ "$ended" = "$pid" ]; then
    kill "$sleeper"
    wait "$sleeper"
    return "$status"
  fi
  backtraces "$pid" >"$scratch/stall" 2>&1 </dev/null
  kill -TERM "$pid" 2>/dev/null  # it may have ended meanwhile
  wait "$pid"
  return 124
}

# Where Unix process PID and the case's Windows programs stand (wine_limited).
backtraces() {
  local task debug="timeout 60 $wine winedbg" process threads
  echo "Unix threads of process $1 (id, state, wait channel):"
  for task in /proc/"$1"/task/*; do
    echo "  ${task##*/} $(cut -d' ' -f3 "$task/stat") $(cat "$task/wchan")"
  done
  printf 'info process\n' | $debug | tee "$scratch/processes"
  for process in $(sed -n "s/^[ =]*\([0-9a-f]\{8\}\) .*'\($exe\|launch\.exe\)'.*/\1/p" \
    "$scratch/processes"); do
    # The process's threads are the indented lines after its own in the debugger's list.
    threads=$(printf 'attach 0x%s\ninfo thread\ndetach\n' "$process" | $debug |
      sed -n "/^0*$process /,/^[0-9a-f]/s/^\t\([0-9a-f]\{8\}\) .*/\1/p")
    echo "Windows process $process, threads" $threads
    { echo "attach 0x$process"; printf 'bt 0x%s\n' $threads; echo detach; } | $debug
  done
}

# Runs the program under Wine: by Wine itself from the input folder, or through launch.exe
# with an exact command line as Explorer (from another working folder), a script (forward
# slashes) or cmd (by bare name, in the program's folder or found through PATH) start it.
launch_wine() {
  local command='' folder=$in_path search='' arg
  case $(cat "$dir/launch" 2>/dev/null) in
    explorer) command="\"$app_path\\$exe\"" folder='C:\windows' ;;
    slashes) command="\"${app_path//\\//}/$exe\"" ;;
    cmd) command="cmd /c $exe" folder=$app_path ;;
    path) command="cmd /c $exe" search=$app_path ;;
  esac
  # No editor: the system's Notepad is missing for this run.
  [ ! -f "$dir/no-editor" ] || rm -f "$system/system32/notepad.exe" "$system/notepad.exe"
  if [ -z "$command" ]; then
    (cd "$scratch/in" && wine_limited "$wine" "$app_path\\$exe" "${argv[@]}") \
      <"$stdin" >"$out" 2>"$err" || status=$?
  else
    for arg in "${argv[@]}"; do command+=" \"$arg\""; done
    (cd "$scratch/in" && WINEPATH=$search wine_limited "$wine" "$helpers/launch.exe" \
      "$folder" "$command") <"$stdin" >"$out" 2>"$err" || status=$?
  fi
  if [ -f "$scratch/stall" ]; then
    echo "STALL $name: stopped after ${CASES_WINE_LIMIT:-300} s, standing here:"
    sed 's/^/  /' "$scratch/stall"
  fi
  [ ! -f "$dir/no-editor" ] || system_notepad || exit 1
  # The command interpreter's own pause prompt, worded and ended as on the other platforms.
  sed -i '$s/^Press any key to continue\.\.\. *$/Press any key to continue . . . /' "$out"
  [ -z "$(tail -c 1 "$out")" ] || echo >>"$out"
}

# Runs the native program with a stand-in xdg-open on PATH, and whatever the case's markers ask.
launch_native() {
  local record=$scratch/editor-args
  printf '#!/bin/sh\nprintf "%%s\\n" "$@" >"%s.part" && mv "%s.part" "%s"\n' \
    "$record" "$record" "$record" >"$scratch/tools/xdg-open"
  chmod +x "$scratch/tools/xdg-open"
  # No editor: the program's PATH is a folder without xdg-open.
  local -a path=() wrap=()
  [ ! -f "$dir/no-editor" ] || { rm "$scratch/tools/xdg-open"; path=(env "PATH=$scratch/tools"); }
  # Failures injected into system calls: the file holds strace's options, split at blanks.
  # LeakSanitizer cannot work under ptrace.
  if [ -f "$dir/strace" ]; then
    read -ra wrap <"$dir/strace"
    wrap=(env "ASAN_OPTIONS=${ASAN_OPTIONS:-}:detect_leaks=0" strace -f -qq -o /dev/null
      "${wrap[@]}")
  fi
  # A system without /dev (a minimal sandbox). unshare makes the namespace's mounts private,
  # which a chroot's root is refused whatever its rights: only there may root skip the case.
  if [ -f "$dir/no-dev" ]; then
    local need=root
    ! ischroot || need=
    { [ "$root" -eq 1 ] && unshare -m true 2>/dev/null; } ||
      skip "an empty /dev needs a private mount namespace (root, outside a chroot)" $need ||
      return
    wrap=(unshare -m sh -c 'mount -t tmpfs none /dev && exec "$@"' sh)
  fi
  # Input files held under a write lease by another process, which lets go when asked.
  local -a holders=() leased=()
  local file report i
  while IFS= read -r file; do
    report=$scratch/lease-${#holders[@]}
    python3 "$cases/lease_holder.py" "$scratch/in/$file" 60 >"$report" 2>&1 &
    holders+=($!) leased+=("$file")
    while [ ! -s "$report" ] && kill -0 $! 2>/dev/null; do sleep 0.05; done
    if [ "$(head -n 1 "$report")" != held ]; then
      kill "${holders[@]}" 2>/dev/null; wait "${holders[@]}" 2>/dev/null
      skip "no write lease on $file ($(head -n 1 "$report"); needs root)" root; return
    fi
  done < <(cat "$dir/lease" 2>/dev/null)
  (cd "$scratch/in" && export PATH="$scratch/tools:$PATH" &&
    { [ ! -f "$dir/ulimit" ] || ulimit -v "$(<"$dir/ulimit")"; } &&
    for fd in $closed; do eval "exec $fd>&-"; done &&
    exec "${wrap[@]}" timeout 300 "${path[@]}" "$scratch/app/$program" "${argv[@]}") \
    <"$stdin" >"$out" 2>"$err" || status=$?
  for i in "${!holders[@]}"; do
    wait "${holders[$i]}" || fail "the lease on ${leased[$i]} was never asked back"
  done
}

# Exit status, standard error and standard output.
compare_output() {
  [ "$status" -eq 0 ] || fail "exit code $status"
  [[ $closed == *" 2 "* ]] || [ ! -s "$err" ] || fail "standard error: $(head -c 300 "$err")"
  local stdout=$dir/stdout
  [ -z "$wine" ] || [ ! -f "$dir/stdout.windows" ] || stdout=$dir/stdout.windows
  if [[ $closed == *" 1 "* ]]; then return
  elif [ "$bless" -eq 1 ]; then unexpand <"$out" >"$dir/stdout"
  elif ! cmp -s <(expand <"$stdout") "$out"; then
    fail "standard output differs"; diff -u <(expand <"$stdout") "$out" | head -40
  fi
}

# The editor started as expected, or not at all; never a planted copy.
compare_editor() {
  # The editor is started without waiting for it: give its record (one argument a line) time
  # to appear.
  local i record='' wanted file=$scratch/editor-args
  [ -z "$wine" ] || file=$system/system32/notepad-command-line.txt
  for ((i = 0; i < 100; i++)); do
    [ "$program" = brevane ] || break
    [ ! -f "$file" ] || { record=$(if [ -z "$wine" ]; then cat "$file"; else readable "$file"; fi)
      break; }
    [ -f "$dir/editor" ] || [ "$i" -lt 10 ] || break
    sleep 0.1
  done
  if [ "$bless" -eq 1 ]; then
    rm -f "$dir/editor"; [ -z "$record" ] || printf '%s\n' "$record" | unexpand >"$dir/editor"
  elif [ -f "$dir/editor" ]; then
    wanted=$(expand <"$dir/editor")
    [ "$record" = "$wanted" ] || fail "editor opened [$record], wanted [$wanted]"
  elif [ -n "$record" ]; then
    fail "editor started on [$record]"
  fi
  for file in "$scratch"/{app,in}/notepad-command-line.txt; do
    [ ! -e "$file" ] || fail "a planted notepad.exe ran: $(readable "$file")"
  done
}

# Files in the program's folder: those there before unchanged, the new ones as expected.
compare_files() {
  local file base before
  [ "$bless" -eq 0 ] || rm -rf "$dir/out"
  # Hidden files too: a scratch file left behind is as much a fault as any other.
  for file in "$scratch/app"/* "$scratch/app"/.[!.]*; do
    [ -e "$file" ] || [ -L "$file" ] || continue
    base=$(basename "$file") before=$scratch/app.before/$(basename "$file")
    case $base in "$exe" | notepad.exe | notepad-command-line.txt) continue ;; esac
    if [ -L "$before" ]; then
      [ "$(readlink "$file")" = "$(readlink "$before")" ] || fail "$base changed"
    elif [ -e "$before" ]; then
      cmp -s "$file" "$before" || fail "$base changed"
    elif [ "$bless" -eq 1 ]; then
      mkdir -p "$dir/out" && readable "$file" | unexpand >"$dir/out/$base.txt"
    elif [ ! -f "$dir/out/$base.txt" ] && [ ! -f "$dir/out/$base" ]; then
      fail "$base written, not expected"
    fi
  done
  [ "$bless" -eq 0 ] || return
  for file in "$dir"/out/*; do
    [ -f "$file" ] || continue
    base=$(basename "${file%.txt}")
    if [ ! -f "$scratch/app/$base" ]; then fail "$base not written"
    elif ! expand <"$file" | written_form | cmp -s - "$scratch/app/$base"; then
      fail "$base differs"
      readable "$scratch/app/$base" | diff -u <(expand <"$file") - | head -40
    fi
  done
}

run_case() {
  local dir=$1 ok=1 status=0 mounted='' program exe app in_path app_path closed='' stdin=/dev/null
  local -a argv=()
  name=$(basename "$dir") scratch=$work/$(basename "$dir")
  local out=$scratch/stdout err=$scratch/stderr
  # Cases for the other platform only are counted, not named.
  if [ -e "$dir/$([ -n "$wine" ] && echo posix-only || echo windows-only)" ]; then
    elsewhere=$((elsewhere + 1)); return
  fi
  if setup && if [ -n "$wine" ]; then launch_wine; else launch_native; fi && [ "$ok" != skip ]
  then
    compare_output; compare_editor; compare_files
  fi
  [ -z "$mounted" ] || umount "$mounted"
  case $ok in
    1) passed=$((passed + 1)); rm -rf "$scratch" ;;
    skip) skipped=$((skipped + 1)) ;;
    *) failed=$((failed + 1)) ;;
  esac
}

[ $# -gt 0 ] || set -- "$cases"/*/
for dir in "$@"; do
  [[ $dir == */* ]] || dir=$cases/$dir
  run_case "${dir%/}"
done
echo "cases: $passed passed, $failed failed, $skipped skipped, $elsewhere for the other platform"
[ "$failed" -eq 0 ]
