#!/usr/bin/env bash
# Builds the release artefacts (scripts/package.sh) and checks what would break one: the
# programs in each run on the samples (the zip's under Wine, the others natively), lintian
# passes the package and the manual pages render without warnings. A second build, from a clone
# in another folder, 50 hours later by the clock and without SOURCE_DATE_EPOCH, must give the
# same bytes. The programs must be hardened, the tarball's must need no library beyond the C and
# C++ runtime, the .exe files no DLL beyond Windows' own. With CI=true, as root, the package is
# also installed with apt-get and used from there.
set -uo pipefail
cd "$(dirname "$0")/.."

passed=0 failed=0
check() {  # DESCRIPTION COMMAND...: runs the command, counts and reports the outcome.
  if "${@:2}"; then passed=$((passed + 1)); echo "ok   $1"; return; fi
  failed=$((failed + 1)); echo "FAIL $1"; return 1
}
scratch=$(mktemp -d)
# The second build's folder: on tmpfs where there is one, which lists a folder's files in another
# order than ext4 does.
elsewhere=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
export WINEPREFIX=$scratch/wine WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY  # Brevane.exe starts Notepad, which must never open a window
finish() {
  [ ! -d "$WINEPREFIX" ] || "$(command -v wineserver || echo /usr/lib/wine/wineserver)" -k 2>/dev/null
  rm -rf "$scratch" "$elsewhere"
  echo "$passed passed, $failed failed"
}
trap finish EXIT

check "scripts/package.sh builds the artefacts" \
  env SOURCE_DATE_EPOCH="$(git log -1 --format=%ct)" bash scripts/package.sh || exit 1
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' build-pkg/CMakeCache.txt)

# The same commit (with this tree's uncommitted changes) in another folder, built later.
other=$elsewhere/brevane
build_again() {
  git clone -q . "$other" && git diff --binary HEAD | git -C "$other" apply --allow-empty &&
    (cd "$other" && env -u SOURCE_DATE_EPOCH faketime -f +50h bash scripts/package.sh) \
      > "$scratch/build.log" 2>&1 || { cat "$scratch/build.log"; false; }
}
check "a clone elsewhere, 50 h later, without SOURCE_DATE_EPOCH, builds again" build_again ||
  exit 1
check "the second build makes the same files, byte for byte" diff -r dist "$other/dist"
check "SHA256SUMS lists and matches the three artefacts" \
  sh -c 'cd dist && [ "$(wc -l < SHA256SUMS)" -eq 3 ] && sha256sum --quiet -c SHA256SUMS'

# The dropped files, from a folder whose name holds a blank, and the table they give.
music="$scratch/My Music"
mkdir -p "$music" && cp samples/{intro.ogg,outro.wav,readme.txt,theme.wav} "$music"
dropped=("$music"/*)
printf '%s\n' ------------------------- '[Filename]  -  [Duration]' ------------------------- \
  'intro.ogg  -  3.50' 'outro.wav  -  1.25' 'readme.txt  -  n/a' 'theme.wav  -  2.00' \
  > "$scratch/table"
# PROGRAM: run on the dropped files, it prints their table (up to the blank line before the
# pause; terminal escapes and CRs left out). An .exe runs under Wine from its own folder, in a
# pseudo-terminal (a console for Wine), its input at its end.
runs() {
  local args=("$1" "${dropped[@]}") folder=. file
  if [[ $1 == *.exe ]]; then
    folder=${1%/*} args=("$wine" "./${1##*/}")
    for file in "${dropped[@]}"; do args+=("Z:${file//\//\\}"); done
    args=(timeout 300 script -qec "$(printf '%q ' "${args[@]}") </dev/null" /dev/null)
  fi
  (cd "$folder" && "${args[@]}") < /dev/null > "$scratch/out" &&
    sed -E 's/\x1b\][^\x07]*\x07//g; s/\x1b\[[0-9;?]*[A-Za-z]//g; s/\r//g' "$scratch/out" |
    sed -n '/^$/q;p' | diff -u "$scratch/table" -
}
# CONFIG: written in UTF-16LE, with a class for each of the three measurable samples.
config_in() { [ "$(iconv -f UTF-16LE -t UTF-8 "$1" | grep -c $'^\tclass ')" -eq 3 ]; }
# PAGE: renders at 80 columns without a warning from man or groff.
renders() { MANWIDTH=80 man --warnings -l "$1" 2>&1 > "$scratch/pg" | diff /dev/null - &&
  [ -s "$scratch/pg" ]; }
# PROGRAM BUILD: an .exe imports only DLLs every Windows has, carries the stack protector's
# handler (libssp's) and the manifest. Elsewhere hardening-check finds PIE, the stack protector,
# FORTIFY, RELRO and immediate binding (its control-flow line needs start files Debian 12 lacks).
# It sees FORTIFY only in a checkable call: without one, BUILD's flags must vouch for it.
hardened() {
  if [[ $1 == *.exe ]]; then
    local dlls=$(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\tDLL Name: //p')
    [ -n "$dlls" ] && ! grep -vixE '(kernel32|user32|advapi32|shell32|msvcrt)\.dll' <<< "$dlls" &&
      grep -q 'stack smashing detected' "$1" && grep -q 'level="asInvoker"' "$1"
    return
  fi
  local lines='Position Independent Executable|Stack protected|Fortify Source functions'
  lines+='|Read-only relocations|Immediate binding'
  # Its own status counts every line; the ones that matter are counted here.
  hardening-check --nocfprotection "$1" > "$scratch/hc"
  local yes=$(grep -cE "^ ($lines): yes" "$scratch/hc")
  grep -q '^ Fortify Source functions: no, only unprotected functions found' "$scratch/hc" &&
    grep -rq --include=flags.make -e . "$2" &&  # a build is there to vouch for it
    ! grep -rL --include=flags.make -e '-D_FORTIFY_SOURCE=2' "$2" | grep -q . && yes=$((yes + 1))
  [ "$yes" -eq 5 ] || { cat "$scratch/hc"; false; }
}
# PROGRAM: links nothing but the C library, libm and the C++ runtime.
portable() {
  local needed=$(objdump -p "$1" | awk '$1 == "NEEDED" { print $2 }')
  [ -n "$needed" ] && ! grep -vxE 'lib(c|m|stdc\+\+|gcc_s)\.so\.[0-9]+' <<< "$needed"
}
# A stand-in for xdg-open: brevane opens config.cpp, no editor starts.
mkdir "$scratch/tools" && ln -s /bin/true "$scratch/tools/xdg-open"
export PATH=$scratch/tools:$PATH

deb=dist/brevane_$version-1_amd64.deb
check "lintian finds no error or warning in the package" lintian --fail-on error,warning "$deb"
unzip -q "dist/brevane-$version-windows-x64.zip" -d "$scratch/zip"
tar -xzf "dist/brevane-$version-linux-x86_64.tar.gz" -C "$scratch" && dpkg -x "$deb" "$scratch/deb"
tarball=$scratch/brevane-$version-linux-x86_64
check "tarball leaves out Debian's files and names the glibc it needs" sh -c \
  '[ ! -e "$1/share/doc" ] && [ ! -e "$1/share/lintian" ] && grep -q "glibc 2\.[0-9]" "$1/README" &&
  ! grep -q @ "$1/README"' sh "$tarball"
"$wine" wineboot -i < /dev/null > /dev/null 2>&1
# Each artefact: its programs' folder, and the build that made them.
for artefact in "zip $scratch/zip/brevane-$version-windows-x64 build-pkg-win" \
  "tarball $tarball/bin build-pkg-tar" "deb $scratch/deb/usr/bin build-pkg"; do
  read -r kind bin build <<< "$artefact"
  for program in lumtass brevane; do
    exe=$bin/$program
    [ "$kind" != zip ] || exe=$bin/${program^}.exe
    check "$kind's ${exe##*/} prints the table" runs "$exe"
    check "$kind's ${exe##*/} is hardened" hardened "$exe" "$build"
    [ "$kind" != tarball ] ||
      check "tarball's $program needs only the C and C++ runtime" portable "$exe"
    [ "$kind" = zip ] ||
      check "$kind's $program.1 renders" renders "$bin/../share/man/man1/$program.1.gz"
  done
  check "$kind's brevane writes config.cpp beside itself" config_in "$bin/config.cpp"
done

if [ "${CI:-}" = true ] && [ "$(id -u)" -eq 0 ]; then
  # The machine is left as found: a package this run installed is removed again.
  before=$(dpkg-query -W -f='${Status}' brevane 2>/dev/null)
  apt() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 -yqq "$@" > /dev/null; }
  apt install --no-install-recommends --reinstall "./$deb"
  check "installed lumtass prints the table" runs lumtass
  for program in lumtass brevane; do
    check "man $program shows the installed page" renders "$(man -w $program)"
  done
  [ "$before" = "install ok installed" ] || apt remove brevane
else
  echo "skipped: installing the package (only with CI=true as root)"
fi
exit $((failed > 0))
