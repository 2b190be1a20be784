#!/usr/bin/env bash
# Runs the end-to-end cases in this folder and compares what each program printed, wrote and
# opened with the case's expected files (README.md: the format, markers and options).
#
#   run.sh [--bless] [--wine WINE HELPERS] PROGRAM_DIR [CASE...]
set -uo pipefail
shopt -s nullglob
cases=$(cd "$(dirname "$0")" && pwd)
bless=0 wine='' helpers='' launch=launch_native
[ "${1:-}" = --bless ] && { bless=1; shift; }
[ "${1:-}" = --wine ] && { wine=$2 helpers=$(cd "$3" && pwd) launch=launch_wine; shift 3; }
programs=$(cd "${1:?program folder}" && pwd)
shift
export LC_ALL=C.UTF-8 WINEDEBUG=-all
version=$(sed -n 's/^project([^ ]* VERSION \([^ ]*\).*/\1/p' "$cases/../../CMakeLists.txt")
work=$(mktemp -d /tmp/cases.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0 passed=0 skipped=0 elsewhere=0 root=0
[ "$(id -u)" -ne 0 ] || root=1

# Expected text, placeholders filled in; under Wine such a line's slashes become backslashes.
# A last line without its line end (output cut short) stays so.
from_placeholders() {
  local line end='\n' manual="man $program"
  [ -z "$wine" ] || manual=@APP@/README.txt
  while IFS= read -r line || { [ -n "$line" ] && end=''; }; do
    line=${line//@MANUAL@/$manual}
    [[ -z $wine || $line != *@IN@* && $line != *@APP@* ]] || line=${line//\//\\}
    line=${line//@IN@/$in_path} line=${line//@VERSION@/$version}
    printf "%s$end" "${line//@APP@/$app_path}"
  done
}

# The reverse, for --bless: absolute paths and the version line back to placeholders.
to_placeholders() {
  sed -e "s|$scratch/in|@IN@|g" -e "s|$scratch/app|@APP@|g" -e "s/\bman $program\b/@MANUAL@/g" \
    -e "s/^\(Lumtass\|Brevane\) ${version//./\\.}\$/\\1 @VERSION@/"
}

# The programs' UTF-16LE, CR LF files as readable text, and back.
readable() { iconv -f UTF-16LE -t UTF-8 "$@" | sed 's/\r$//'; }
written_form() { sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; }

# Under Wine the stand-in editor is the system's Notepad, run instead of Wine's when told to.
if [ -n "$wine" ]; then
  system=${WINEPREFIX:?the Wine prefix whose Notepad is replaced}/drive_c/windows
  notepad=$helpers/notepad.exe
  "$wine" cmd /c exit </dev/null >/dev/null 2>&1  # makes the prefix on first use
  system_notepad() { cp "$notepad" "$system/system32/" && cp "$notepad" "$system/"; }
  system_notepad || exit 1
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=};notepad.exe=n"
fi

fail() { echo "FAIL $name: $*"; ok=0; }

# The case cannot run here: told with its reason. A case that needs root fails instead when
# running as root, so that every root run counts the same cases.
skip() {
  [ "${2:-}" != root ] || [ "$root" -eq 0 ] || { fail "$1, though running as root"; return 1; }
  echo "SKIP $name: $1"; ok=skip
  return 1
}

# Makes the scratch folders, the inputs and the arguments (argv) the program gets.
setup() {
  # Sanitizer builds reserve terabytes up front and check memory through pipes, beyond any
  # address-space or descriptor limit: their run sets CASES_SANITIZED.
  [ -z "${CASES_SANITIZED:-}" ] || ! grep -qE -- '--(as|nofile)' "$dir/limits" 2>/dev/null ||
    skip "needs an address-space or descriptor limit" || return
  # Their runtime also probes memory with writes of its own at start, which a failed write hits.
  [ -z "${CASES_SANITIZED:-}" ] || ! grep -q 'inject=write' "$dir/strace" 2>/dev/null ||
    skip "makes writes fail" || return
  mkdir -p "$scratch/in" "$scratch/tools" "$scratch/got/out" "$scratch/expected/out"
  # app is the program's folder, or a link to it where it lies deeper than 260 characters.
  app=$scratch/app
  [ ! -f "$dir/deep-app" ] || app=$scratch$(printf '/a deep folder %0100d' 1 2 3)/app
  mkdir -p "$app" && { [ "$app" = "$scratch/app" ] || ln -s "$app" "$scratch/app"; }
  read -r program <"$dir/args"
  exe=$program
  [ -z "$wine" ] || exe=${program^}.exe
  # The program's folder on a small file system, filled (names can be made, writes fail), or
  # on one made read-only once the program is in place.
  if [ -f "$dir/disk" ] || [ -f "$dir/read-only" ]; then
    local size=65536
    [ ! -f "$dir/disk" ] || size=$(<"$dir/disk")
    { [ "$root" -eq 1 ] && mount -t tmpfs -o "size=${size}k" tmpfs "$app"; } ||
      skip "no small file system can be mounted (needs root)" root || return
    mounted=$app
  fi
  cp "$programs/$exe" "$app/"
  [ -z "$wine" ] || { cp "$notepad" "$app/" && cp "$notepad" "$scratch/in/" &&
    rm -f "$system/system32/notepad-command-line.txt"; }
  [ ! -f "$dir/disk" ] || head -c 1G /dev/zero >"$app/filler" 2>/dev/null
  [ ! -d "$dir/in" ] || cp -a "$dir/in/." "$scratch/in/"
  [ ! -d "$dir/app" ] || cp -a "$dir/app/." "$app/"
  (cd "$scratch" && CASES="$cases" bash "$cases/inputs.sh" "$name") ||
    { fail "inputs not made"; return 1; }
  mkdir "$scratch/app.before" && cp -a "$app/." "$scratch/app.before/"
  [ ! -f "$dir/read-only" ] || mount -o remount,ro "$app" || { fail "not made read-only"; return 1; }

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

# Runs a command under Wine for at most $CASES_WINE_LIMIT seconds (300), else ends as timeout
# does, after recording where the threads of the case's Windows programs stood (in whose code).
wine_limited() {
  "$@" <&0 &  # standard input stays the case's: a background job would get /dev/null
  local pid=$! limit=${CASES_WINE_LIMIT:-300} list=$scratch/threads process task
  timeout "$limit" tail -s 0.05 --pid="$pid" -f /dev/null >/dev/null
  [ $? -eq 124 ] || { wait "$pid"; return; }
  {
    echo "STALL $name: stopped after $limit s, standing here:"
    # A wait inside Wine's own server shows here even where the debugger cannot attach.
    for task in /proc/"$pid"/task/*; do
      echo "  Unix thread ${task##*/}: $(cut -d' ' -f3 "$task/stat") $(cat "$task/wchan")"
    done
    echo 'info thread' | timeout 60 "$wine" winedbg >"$list"
    # Each process's threads are the indented lines after its own in the debugger's list.
    for process in $(sed -n "s/^\([0-9a-f]\{8\}\) \($exe\|launch\.exe\).*/\1/p" "$list"); do
      { echo "attach 0x$process"
        sed -n "/^$process /,/^[0-9a-f]/s/^\t\([0-9a-f]\{8\}\) .*/bt 0x\1/p" "$list"; echo detach
      } | timeout 60 "$wine" winedbg | sed 's/^/  /'; echo
    done
  } >"$scratch/stall" 2>&1 </dev/null
  kill -TERM "$pid" 2>/dev/null; wait "$pid"  # it may have ended meanwhile
  return 124
}

# Runs the program under Wine: by Wine from the input folder, or by launch.exe with the command
# line Explorer, a script (forward slashes) or cmd (bare name, in its folder or on PATH) gives.
launch_wine() {
  local command='' folder=$in_path search='' arg
  local -a run=("$app_path\\$exe" "${argv[@]}")
  case $(cat "$dir/launch" 2>/dev/null) in
    explorer) command="\"$app_path\\$exe\"" folder='C:\windows' ;;
    slashes) command="\"${app_path//\\//}/$exe\"" ;;
    cmd) command="cmd /c $exe" folder=$app_path ;;
    path) command="cmd /c $exe" search=$app_path ;;
  esac
  if [ -n "$command" ]; then
    for arg in "${argv[@]}"; do command+=" \"$arg\""; done
    run=("$helpers/launch.exe" "$folder" "$command")
  fi
  # No editor: the system's Notepad is missing for this run.
  [ ! -f "$dir/no-editor" ] || rm -f "$system/system32/notepad.exe" "$system/notepad.exe"
  (cd "$scratch/in" && WINEPATH=$search wine_limited "$wine" "${run[@]}") \
    <"$stdin" >"$out" 2>"$err" || status=$?
  [ ! -f "$scratch/stall" ] || cat "$scratch/stall"
  [ ! -f "$dir/no-editor" ] || system_notepad || exit 1
}

# A new memory control group of $1 MiB: its folder, or failure where none can be made.
memory_group() {
  local top path=$(awk -F: '$2 ~ /(^|,)memory(,|$)/ { print $3 }' /proc/self/cgroup)
  for top in /sys/fs/cgroup /sys/fs/cgroup/unified; do
    grep -qw memory "$top/cgroup.subtree_control" 2>/dev/null &&
      mkdir "$top/cases-$$" 2>/dev/null && echo $(($1 << 20)) >"$top/cases-$$/memory.max" &&
      echo "$top/cases-$$" && return
  done
  top=/sys/fs/cgroup/memory${path%/}
  [ -n "$path" ] && mkdir "$top/cases-$$" 2>/dev/null &&
    echo $(($1 << 20)) >"$top/cases-$$/memory.limit_in_bytes" && echo "$top/cases-$$"
}

# Runs the native program with a stand-in xdg-open on PATH, and whatever the case's markers ask.
launch_native() {
  local part=$scratch/tools/editor.part
  printf '#!/bin/sh\nprintf "%%s\\n" "$@" >"%s" && mv "%s" "%s"\n' "$part" "$part" \
    "$scratch/got/editor" >"$scratch/tools/xdg-open"
  chmod +x "$scratch/tools/xdg-open"
  # No editor: the program's PATH is a folder without xdg-open.
  local -a path=() wrap=()
  [ ! -f "$dir/no-editor" ] || { rm "$scratch/tools/xdg-open"; path=(env "PATH=$scratch/tools"); }
  # Failures injected into system calls; LeakSanitizer cannot work under ptrace.
  if [ -f "$dir/strace" ]; then
    read -ra wrap <"$dir/strace"
    wrap=(env "ASAN_OPTIONS=${ASAN_OPTIONS:-}:detect_leaks=0" strace -f -qq -o /dev/null
      "${wrap[@]}")
  fi
  # A system without /dev (a minimal sandbox). unshare makes the namespace's mounts private,
  # which a chroot's root is refused whatever its rights: only there may root skip the case.
  if [ -f "$dir/no-dev" ]; then
    { [ "$root" -eq 1 ] && unshare -m true 2>/dev/null; } ||
      skip "an empty /dev needs a private mount namespace (root, outside a chroot)" \
        "$(ischroot || echo root)" || return
    wrap=(unshare -m sh -c 'mount -t tmpfs none /dev && exec "$@"' sh)
  fi
  # A memory control group of the case's size around the program (cgroup v2, else v1).
  if [ -f "$dir/memory" ]; then
    # Root may skip it only where the system offers no memory controller at all, or in a
    # chroot, whose /sys is not the system's.
    group=$(memory_group "$(<"$dir/memory")") ||
      skip "no memory control group can be made (root, outside a chroot)" "$(ischroot ||
        ! grep -qsw memory /proc/self/cgroup /sys/fs/cgroup/cgroup.controllers || echo root)" ||
      return
    wrap=(sh -c 'echo $$ >"$0/cgroup.procs" && exec "$@"' "$group" "${wrap[@]}")
  fi
  # Input files held under a write lease by another process, which lets go when asked.
  local holder='' leases=$scratch/leases
  if [ -f "$dir/lease" ]; then
    (cd "$scratch/in" && mapfile -t files <"$dir/lease" &&
      exec python3 "$cases/lease_holder.py" 60 "${files[@]}") >"$leases" 2>&1 &
    holder=$!
    while [ ! -s "$leases" ] && kill -0 $holder 2>/dev/null; do sleep 0.05; done
    [ "$(head -n 1 "$leases")" = held ] ||
      { kill $holder 2>/dev/null; wait $holder; skip "no write lease ($(head -n 1 "$leases"); needs root)" root; return; }
  fi
  local -a limits=()
  [ ! -f "$dir/limits" ] || read -ra limits <"$dir/limits"
  [ ${#limits[@]} -eq 0 ] || limits=(prlimit "${limits[@]}" --)
  (cd "$scratch/in" && export PATH="$scratch/tools:$PATH" &&
    for fd in $closed; do eval "exec $fd>&-"; done &&
    exec "${wrap[@]}" timeout 300 "${path[@]}" "${limits[@]}" "$scratch/app/$program" "${argv[@]}") \
    <"$stdin" >"$out" 2>"$err" || status=$?
  [ -z "$holder" ] || wait $holder || fail "$(tail -n 1 "$leases")"
}

# What the program did against what the case expects, both as text: $scratch/got holds its
# standard output, the editor's arguments (one a line) and the files new in its folder
# (out/NAME.txt); $scratch/expected the case's, placeholders filled in. --bless writes got back.
compare() {
  local got=$scratch/got expected=$scratch/expected tenths=0 record line file
  [ "$status" -eq "$(cat "$dir/status" 2>/dev/null || echo 0)" ] || fail "exit code $status"
  if [ -f "$dir/stderr" ]; then
    cp "$err" "$got/stderr" && from_placeholders <"$dir/stderr" >"$expected/stderr"
  else
    [[ $closed == *" 2 "* ]] || [ ! -s "$err" ] || fail "standard error: $(head -c 300 "$err")"
  fi
  [[ $closed != *" 1 "* ]] || rm "$out"  # closed output is not compared
  file=$dir/stdout
  [ -z "$wine" ] || [ ! -f "$dir/stdout.windows" ] || file=$dir/stdout.windows
  [ ! -f "$out" ] || { [ ! -f "$file" ] || from_placeholders <"$file"; } >"$expected/stdout"
  [ ! -f "$dir/editor" ] || from_placeholders <"$dir/editor" >"$expected/editor"
  for file in "$dir"/out/*.txt; do from_placeholders <"$file" >"$expected/out/${file##*/}"; done

  # The editor is started without waiting for it: its record may come late.
  record=$got/editor
  [ -z "$wine" ] || record=$system/system32/notepad-command-line.txt
  [ "$program" != brevane ] || tenths=$([ -f "$dir/editor" ] && echo 100 || echo 10)
  while [ ! -f "$record" ] && ((tenths-- > 0)); do sleep 0.1; done
  [ -z "$wine" ] || [ ! -f "$record" ] || readable "$record" >"$got/editor"
  # A planted copy that ran leaves its record beside itself.
  for file in "$app" "$scratch/in"; do
    [ ! -e "$file/notepad-command-line.txt" ] || fail "a planted notepad.exe ran in $file"
  done

  # The program's folder keeps what it had; each new file (hidden ones too) is text in the
  # programs' form: put back in that form, its text gives the same bytes.
  while IFS= read -r line; do
    file=${line#"Only in $app: "}
    [ "$file" != notepad-command-line.txt ] || continue
    [ "$file" != "$line" ] || { fail "the program's folder: $line"; continue; }
    readable "$app/$file" >"$got/out/$file.txt"
    written_form <"$got/out/$file.txt" | cmp -s - "$app/$file" || fail "$file: not CR LF UTF-16LE"
  done < <(diff -rq --no-dereference "$scratch/app.before" "$app")

  if [ "$bless" -eq 1 ]; then
    rm -rf "$dir/editor" "$dir/out"
    (cd "$got" && find . -type f) | while IFS= read -r file; do
      mkdir -p "$(dirname "$dir/$file")" && to_placeholders <"$got/$file" >"$dir/$file"
    done
  elif ! (cd "$scratch" && diff -ru expected got >diffs); then
    fail "not as expected"; head -60 "$scratch/diffs"
  fi
}

run_case() {
  local dir=$1 ok=1 status=0 mounted='' group='' program exe app in_path app_path closed=''
  local stdin=/dev/null
  local -a argv=()
  name=${dir##*/} scratch=$work/${dir##*/}
  local out=$scratch/got/stdout err=$scratch/stderr
  # Cases for the other platform only are counted, not named.
  [ ! -e "$dir/$([ -n "$wine" ] && echo posix || echo windows)-only" ] ||
    { elsewhere=$((elsewhere + 1)); return; }
  setup && $launch && [ "$ok" != skip ] && compare
  [ -z "$mounted" ] || umount "$mounted"
  [ -z "$group" ] || rmdir "$group"
  case $ok in
    1) passed=$((passed + 1)); rm -rf "$scratch" ;;
    skip) skipped=$((skipped + 1)) ;;
    *) failed=$((failed + 1)) ;;
  esac
}

[ $# -gt 0 ] || set -- "$cases"/*/
for dir in "$@"; do
  [[ $dir == */* ]] || dir=$cases/$dir
  run_case "$(cd "$dir" && pwd)"  # absolute: its files are read from the scratch folders too
done
echo "cases: $passed passed, $failed failed, $skipped skipped, $elsewhere for the other platform"
[ "$failed" -eq 0 ]
