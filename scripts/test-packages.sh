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

epoch=$(git log -1 --format=%ct)
check "scripts/package.sh builds the artefacts" env SOURCE_DATE_EPOCH="$epoch" bash scripts/package.sh ||
  exit 1
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
check "the second build makes the same files" diff <(ls dist) <(ls "$other/dist")
for file in dist/*; do
  check "$file is the same, byte for byte" cmp "$file" "$other/$file"
done
check "SHA256SUMS lists and matches the three artefacts" \
  sh -c 'cd dist && [ "$(wc -l < SHA256SUMS)" -eq 3 ] && sha256sum --quiet -c SHA256SUMS'

# The dropped files, from a folder whose name holds a blank, and the table they give.
music="$scratch/My Music"
mkdir -p "$music" && cp samples/{intro.ogg,outro.wav,readme.txt,theme.wav} "$music"
dropped=("$music"/*)
printf '%s\n' ------------------------- '[Filename]  -  [Duration]' ------------------------- \
  'intro.ogg  -  3.50' 'outro.wav  -  1.25' 'readme.txt  -  n/a' 'theme.wav  -  2.00' \
  > "$scratch/table"
# OUTPUT: its table, up to the blank line before the pause, without terminal escapes and CRs.
table_in() {
  sed -E 's/\x1b\][^\x07]*\x07//g; s/\x1b\[[0-9;?]*[A-Za-z]//g; s/\r//g' "$1" |
    sed -n '/^$/q;p' | diff -u "$scratch/table" -
}
# PROGRAM: run on the dropped files, it prints their table.
runs() { "$1" "${dropped[@]}" < /dev/null > "$scratch/out" && table_in "$scratch/out"; }
# CONFIG: written in UTF-16LE, with a class for each of the three measurable samples.
config_in() { [ "$(iconv -f UTF-16LE -t UTF-8 "$1" | grep -c $'^\tclass ')" -eq 3 ]; }
# PAGE: renders at 80 columns without a warning from man or groff.
renders() { MANWIDTH=80 man --warnings -l "$1" 2>&1 > "$scratch/pg" | diff /dev/null - &&
  [ -s "$scratch/pg" ]; }
# A stand-in for xdg-open: brevane opens config.cpp, no editor starts.
mkdir "$scratch/tools" && ln -s /bin/true "$scratch/tools/xdg-open"
export PATH=$scratch/tools:$PATH

unzip -q "dist/brevane-$version-windows-x64.zip" -d "$scratch/zip"
app=$scratch/zip/brevane-$version-windows-x64
"$wine" wineboot -i < /dev/null > /dev/null 2>&1
# EXE: run in the unpacked folder in a pseudo-terminal (a console for Wine), input at its end.
on_wine() {
  local args=("$wine" "$1") file
  for file in "${dropped[@]}"; do args+=("Z:${file//\//\\}"); done
  (cd "$app" && timeout 300 script -qec "$(printf '%q ' "${args[@]}") </dev/null" /dev/null \
    < /dev/null > "$scratch/out") && table_in "$scratch/out"
}
check "zip's Lumtass.exe prints the table under Wine" on_wine ./Lumtass.exe
check "zip's Brevane.exe prints the table under Wine" on_wine ./Brevane.exe
check "zip's Brevane.exe writes config.cpp beside itself" config_in "$app/config.cpp"
# EXE: imports only DLLs every Windows has, carries the stack protector's handler (libssp's) and
# the manifest.
pe_hardened() {
  local dlls
  dlls=$(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\tDLL Name: //p') && [ -n "$dlls" ] &&
    ! grep -vixE '(kernel32|user32|advapi32|shell32|msvcrt)\.dll' <<< "$dlls" &&
    grep -q 'stack smashing detected' "$1" && grep -q 'level="asInvoker"' "$1"
}
for exe in Lumtass.exe Brevane.exe; do
  check "zip's $exe imports stock DLLs only, has the stack protector and manifest" \
    pe_hardened "$app/$exe"
done

deb=dist/brevane_$version-1_amd64.deb
check "lintian finds no error or warning in the package" lintian --fail-on error,warning "$deb"
tar -xzf "dist/brevane-$version-linux-x86_64.tar.gz" -C "$scratch" && dpkg -x "$deb" "$scratch/deb"
tarball=$scratch/brevane-$version-linux-x86_64
# PROGRAM BUILD: hardening-check finds PIE, the stack protector, FORTIFY, RELRO and immediate
# binding. (Its control-flow line needs start files built for it, which Debian 12's C library
# lacks.) It sees FORTIFY only where the compiler could put a checked call, so where it finds
# no call it could check, every object of BUILD must have been compiled with FORTIFY instead.
hardened() {
  local lines='Position Independent Executable|Stack protected|Fortify Source functions'
  lines+='|Read-only relocations|Immediate binding'
  # Its own status counts every line; the ones that matter are counted below.
  hardening-check --nocfprotection "$1" > "$scratch/hc"
  if grep -q '^ Fortify Source functions: no, only unprotected functions found' "$scratch/hc" &&
    grep -rq --include=flags.make -e . "$2" &&  # a build is there to vouch for it
    ! grep -rL --include=flags.make -e '-D_FORTIFY_SOURCE=2' "$2" | grep -q .; then
    sed -i 's/^ Fortify Source functions: no.*/ Fortify Source functions: yes (compiled in)/' \
      "$scratch/hc"
  fi
  [ "$(grep -cE "^ ($lines): yes" "$scratch/hc")" -eq 5 ] || { cat "$scratch/hc"; false; }
}
# PROGRAM: links nothing but the C library, libm and the C++ runtime.
portable() {
  local needed
  needed=$(objdump -p "$1" | awk '$1 == "NEEDED" { print $2 }') && [ -n "$needed" ] &&
    ! grep -vxE 'lib(c|m|stdc\+\+|gcc_s)\.so\.[0-9]+' <<< "$needed"
}
for program in lumtass brevane; do
  check "tarball's $program needs only the C and C++ runtime" portable "$tarball/bin/$program"
done
check "tarball leaves out Debian's files and names the glibc it needs" \
  sh -c '[ ! -e "$1/share/doc" ] && [ ! -e "$1/share/lintian" ] && grep -q "glibc 2\.[0-9]" "$1/README" &&
    ! grep -q @ "$1/README"' sh "$tarball"
for root in "$tarball" "$scratch/deb/usr"; do
  name=${root#"$scratch"/} build=build-pkg
  [ "$root" != "$tarball" ] || build=build-pkg-tar
  check "$name/bin/lumtass is hardened" hardened "$root/bin/lumtass" "$build"
  check "$name/bin/brevane is hardened" hardened "$root/bin/brevane" "$build"
  check "$name/bin/lumtass prints the table" runs "$root/bin/lumtass"
  check "$name/bin/brevane prints the table" runs "$root/bin/brevane"
  check "$name/bin/brevane writes config.cpp beside itself" config_in "$root/bin/config.cpp"
  for page in "$root"/share/man/man1/{lumtass,brevane}.1.gz; do
    check "${page#"$scratch"/} renders" renders "$page"
  done
done

if [ "${CI:-}" = true ] && [ "$(id -u)" -eq 0 ]; then
  # The machine is left as found: a package this run installed is removed again.
  before=$(dpkg-query -W -f='${Status}' brevane 2>/dev/null)
  apt() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 -yqq "$@" > /dev/null; }
  apt install --no-install-recommends --reinstall "./$deb"
  check "installed lumtass prints the table" runs lumtass
  check "man lumtass shows the installed page" renders "$(man -w lumtass)"
  check "man brevane shows the installed page" renders "$(man -w brevane)"
  [ "$before" = "install ok installed" ] || apt remove brevane
else
  echo "skipped: installing the package (only with CI=true as root)"
fi
exit $((failed > 0))
