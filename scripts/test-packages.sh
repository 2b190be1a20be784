#!/usr/bin/env bash
# Builds the release artefacts (scripts/package.sh) and checks what a user gets from each:
# the zip's programs run under Wine from the unpacked folder, the tarball's and the Debian
# package's programs run on the samples, the launchers validate and start the programs the way
# a file manager does when files are dropped onto them. With CI=true, as root, the package is
# also installed into the real system with apt-get.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/package.sh

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' build-pkg/CMakeCache.txt)
win=brevane-$version-windows-x64
linux=brevane-$version-linux-x86_64
deb=$(ls dist/brevane_"$version"-*_amd64.deb)

scratch=$(mktemp -d)
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
export WINEPREFIX=$scratch/wineprefix WINEDEBUG=-all
# Wine's Notepad, which Brevane.exe starts, must not open a window on a developer's desktop.
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  [ -d "$WINEPREFIX" ] && "$wineserver" -k 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

passed=0
failed=0
# check DESCRIPTION COMMAND...: runs the command, counts and reports the outcome.
check() {
  local description=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok   $description"
  else
    failed=$((failed + 1))
    echo "FAIL $description"
  fi
}

# The dropped files: a folder name with a blank, as under a user's Music folder.
music="$scratch/My Music"
mkdir -p "$music"
tracks=(intro.ogg outro.wav readme.txt theme.wav)
for track in "${tracks[@]}"; do cp "samples/$track" "$music/"; done

# The table both programs print for those files; the samples' lengths are set in
# scripts/make_samples.sh.
cat > "$scratch/expected-table" <<'EOF'
-------------------------
[Filename]  -  [Duration]
-------------------------
intro.ogg  -  3.50
outro.wav  -  1.25
readme.txt  -  n/a
theme.wav  -  2.00
EOF
# The tracks Brevane writes into config.cpp, in order, with their durations.
cat > "$scratch/expected-tracks" <<'EOF'
intro.ogg 3.50
outro.wav 1.25
theme.wav 2.00
EOF

# Output up to the blank line before the pause, with terminal escapes and CRs removed.
table_of() {
  sed -E 's/\x1b\][^\x07]*\x07//g; s/\x1b\[[0-9;?]*[A-Za-z]//g; s/\r//g' "$1" | sed -n '/^$/q;p'
}
same_table() { table_of "$1" | diff -u "$scratch/expected-table" -; }

# CONFIG FOLDER: the UTF-16LE config.cpp points TRACK_PATH at FOLDER and lists the tracks.
config_holds_tracks() {
  [ -f "$1" ] || { echo "no $1"; return 1; }
  local text
  text=$(iconv -f UTF-16LE -t UTF-8 "$1" | tr -d '\r')
  grep -qxF "	#define TRACK_PATH(FILE) $2\\##FILE" <<< "$text" || { echo "TRACK_PATH is not $2"; return 1; }
  sed -nE 's/^[[:space:]]*sound\[\] = \{ TRACK_PATH\(([^)]*)\).*/\1/p; s/^[[:space:]]*duration = ([0-9.]+);/\1/p' <<< "$text" |
    paste -d' ' - - | diff -u "$scratch/expected-tracks" -
}

# A stand-in for xdg-open that records which file Brevane asks to open, resolved in the folder
# it was started in.
mkdir -p "$scratch/tools"
cat > "$scratch/tools/xdg-open" <<EOF
#!/bin/sh
realpath -- "\$@" > "$scratch/editor-args.part" && mv "$scratch/editor-args.part" "$scratch/editor-args"
EOF
chmod +x "$scratch/tools/xdg-open"
# The editor is started in the background; wait a while for the record of its start.
editor_opened() {
  local waited=0
  while [ ! -f "$scratch/editor-args" ] && [ $waited -lt 100 ]; do sleep 0.1; waited=$((waited + 1)); done
  [ "$(cat "$scratch/editor-args" 2>/dev/null)" = "$(realpath -- "$1")" ] || { echo "editor got: $(cat "$scratch/editor-args" 2>/dev/null)"; return 1; }
  rm -f "$scratch/editor-args"
}

echo "--- icons"
python3 packaging/make_icons.py "$scratch/icons"
check "icon files match the picture in console/window_style.h" diff -r packaging/icons "$scratch/icons"

echo "--- dist"
ls dist | sort > "$scratch/dist-list"
printf '%s\n' "$win.zip" "$linux.tar.gz" "$(basename "$deb")" | sort > "$scratch/dist-expected"
check "dist/ holds the zip, the tarball and the Debian package" diff -u "$scratch/dist-expected" "$scratch/dist-list"

echo "--- Windows zip"
unzip -Z1 "dist/$win.zip" | sort > "$scratch/zip-list"
printf '%s\n' "$win/" "$win/Brevane.exe" "$win/LICENSE.txt" "$win/Lumtass.exe" "$win/README.txt" |
  sort > "$scratch/zip-expected"
check "zip holds the two programs, README.txt and LICENSE.txt in one folder" \
  diff -u "$scratch/zip-expected" "$scratch/zip-list"
unzip -q "dist/$win.zip" -d "$scratch/win"
unpacked=$scratch/win/$win
crlf_only() { [ -s "$1" ] && ! grep -qv $'\r$' "$1" && [ "$(tail -c1 "$1" | od -An -c | tr -d ' ')" = '\n' ]; }
check "README.txt has CR LF line ends" crlf_only "$unpacked/README.txt"
check "LICENSE.txt has CR LF line ends" crlf_only "$unpacked/LICENSE.txt"

"$wine" wineboot -i < /dev/null > "$scratch/wineboot.log" 2>&1 || { cat "$scratch/wineboot.log"; exit 1; }
system32=$WINEPREFIX/drive_c/windows/system32
# Every DLL a program imports must be one that Windows itself provides.
only_system_dlls() {
  local dll missing=0
  for dll in $(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
    [ -n "$(find "$system32" -maxdepth 1 -iname "$dll")" ] || { echo "imports $dll"; missing=1; }
  done
  return $missing
}
# The icon group inside EXE holds the same images as packaging/icons/music-note.ico.
embedded_icon_matches() {
  local out=$scratch/icon-$(basename "$1")
  mkdir -p "$out/exe" "$out/ico"
  wrestool -x -t14 "$1" > "$out/embedded.ico" &&
    icotool -x -o "$out/exe" "$out/embedded.ico" &&
    icotool -x -o "$out/ico" packaging/icons/music-note.ico &&
    for f in "$out"/ico/*; do cmp "$f" "$out/exe/$(basename "${f/music-note/embedded}")" || return 1; done &&
    [ "$(ls "$out/exe" | wc -l)" -eq 3 ]
}
# The version resource of EXE names the project version and the file's own name.
version_resource_matches() {
  wrestool -x --raw -t16 "$1" | python3 -c '
import struct, sys
data, version, name = sys.stdin.buffer.read(), sys.argv[1], sys.argv[2]
fixed = data.find(struct.pack("<I", 0xFEEF04BD))
file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", data, fixed + 8)
numbers = [int(part) for part in version.split(".")] + [0]
expected = (numbers[0] << 16 | numbers[1], numbers[2] << 16 | numbers[3])
text = data.decode("utf-16-le", "replace")
def value(key):
    start = text.find(key + "\0")
    if start < 0:
        return None
    rest = text[start + len(key) + 1:].lstrip("\0")
    return rest[:rest.find("\0")]
problems = []
if fixed < 0 or (file_ms, file_ls) != expected or (product_ms, product_ls) != expected:
    problems.append("fixed file version")
for key, want in (("FileVersion", version), ("ProductVersion", version), ("OriginalFilename", name)):
    if value(key) != want:
        problems.append(f"{key} is {value(key)!r}")
if problems:
    sys.exit("; ".join(problems))
' "$version" "$(basename "$1")"
}
# Runs a Windows program under a pseudo-terminal, its console, and presses a key once it
# pauses (a key typed earlier would be echoed into the table). The key presses stop with a
# broken pipe, which is no failure, or after as long as the program may take.
run_on_wine_console() {
  local out=$1 status=0
  shift
  : > "$out"
  set +o pipefail
  (for _ in $(seq 240); do sleep 0.5; grep -q "Press any key" "$out" && printf x; done) |
    timeout 120 script -qec "$(printf '%q ' "$wine" "$@")" /dev/null > "$out" || status=$?
  set -o pipefail
  [ $status -eq 0 ] || echo "$* ended with status $status"
}
music_win=$("$wine" winepath -w "$music" 2>/dev/null | tr -d '\r')
dropped_win=()
for track in "${tracks[@]}"; do dropped_win+=("$music_win\\$track"); done
for exe in Lumtass.exe Brevane.exe; do
  check "$exe is a 64-bit Windows console program" \
    bash -c "file '$unpacked/$exe' | grep -q 'PE32+ executable (console) x86-64'"
  check "$exe needs no DLL beyond Windows' own" only_system_dlls "$unpacked/$exe"
  check "$exe carries the music-note icon" embedded_icon_matches "$unpacked/$exe"
  check "$exe carries version $version" version_resource_matches "$unpacked/$exe"
done
(cd "$unpacked" && run_on_wine_console "$scratch/wine-lumtass.out" ./Lumtass.exe "${dropped_win[@]}")
check "Lumtass.exe under Wine prints the table of the dropped files" same_table "$scratch/wine-lumtass.out"
(cd "$unpacked" && run_on_wine_console "$scratch/wine-brevane.out" ./Brevane.exe "${dropped_win[@]}")
check "Brevane.exe under Wine prints the table of the dropped files" same_table "$scratch/wine-brevane.out"
check "Brevane.exe writes config.cpp beside itself in the unpacked folder" \
  config_holds_tracks "$unpacked/config.cpp" "$music_win"

echo "--- Linux tarball"
tar -tzf "dist/$linux.tar.gz" | sed 's:/$::' | sort > "$scratch/tar-list"
{
  printf '%s\n' "$linux" "$linux/README" "$linux/LICENSE" "$linux/bin" "$linux/share"
  printf "$linux/%s\n" bin/brevane bin/lumtass share/applications share/doc share/doc/brevane \
    share/doc/brevane/copyright share/icons share/icons/hicolor
  for program in lumtass brevane; do
    echo "$linux/share/applications/$program.desktop"
    for size in 16x16 32x32 48x48 scalable; do
      echo "$linux/share/icons/hicolor/$size" "$linux/share/icons/hicolor/$size/apps"
    done | tr ' ' '\n'
    printf "$linux/share/icons/hicolor/%s/apps/$program.png\n" 16x16 32x32 48x48
    echo "$linux/share/icons/hicolor/scalable/apps/$program.svg"
  done
} | sort -u > "$scratch/tar-expected"
check "tarball holds the programs, launchers, icons, README and LICENSE" \
  diff -u "$scratch/tar-expected" "$scratch/tar-list"
tar -xzf "dist/$linux.tar.gz" -C "$scratch"
tarball=$scratch/$linux
dropped=()
for track in "${tracks[@]}"; do dropped+=("$music/$track"); done
"$tarball/bin/lumtass" "${dropped[@]}" < /dev/null > "$scratch/tar-lumtass.out"
check "tarball's lumtass prints the table of the dropped files" same_table "$scratch/tar-lumtass.out"
PATH=$scratch/tools:$PATH "$tarball/bin/brevane" "${dropped[@]}" < /dev/null > "$scratch/tar-brevane.out"
check "tarball's brevane prints the table of the dropped files" same_table "$scratch/tar-brevane.out"
check "tarball's brevane, started by path, writes config.cpp beside itself" \
  config_holds_tracks "$tarball/bin/config.cpp" "$music"
check "tarball's brevane opens that config.cpp" editor_opened "$tarball/bin/config.cpp"

echo "--- Debian package"
depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed -E 's/^ +//; s/ .*//' | sort | tr '\n' ' ')
check "package depends on libc6 libgcc-s1 libstb0 libstdc++6 (has: $depends)" \
  test "$depends" = "libc6 libgcc-s1 libstb0 libstdc++6 "
check "package is brevane $version for amd64" \
  test "$(dpkg-deb -f "$deb" Package Version Architecture | tr '\n' ' ')" = \
  "Package: brevane Version: $version-1 Architecture: amd64 "
dpkg -x "$deb" "$scratch/root"
for program in lumtass brevane; do
  check "package installs /usr/bin/$program" test -x "$scratch/root/usr/bin/$program"
  launcher=$scratch/root/usr/share/applications/$program.desktop
  check "package's $program.desktop validates" desktop-file-validate "$launcher"
  icon=$(sed -n 's/^Icon=//p' "$launcher")
  for size in 16x16 32x32 48x48; do
    check "$program launcher's icon exists at $size" \
      cmp "$scratch/root/usr/share/icons/hicolor/$size/apps/$icon.png" "packaging/icons/music-note-${size%%x*}.png"
  done
  check "$program launcher's icon exists as SVG" \
    cmp "$scratch/root/usr/share/icons/hicolor/scalable/apps/$icon.svg" packaging/icons/music-note.svg
done
check "packaged launchers are those in packaging/linux" \
  diff -r packaging/linux "$scratch/root/usr/share/applications"
"$scratch/root/usr/bin/lumtass" "${dropped[@]}" < /dev/null > "$scratch/deb-lumtass.out"
check "package's lumtass prints the table of the dropped files" same_table "$scratch/deb-lumtass.out"

# A drop onto a launcher: the desktop expands %F to the dropped paths and finds the program
# through PATH; it starts in the home folder.
home=$scratch/home
mkdir -p "$home"
launch() {
  local exec_line
  exec_line=$(sed -n 's/^Exec=//p' "$1")
  read -r -a words <<< "$exec_line"
  local argv=()
  for word in "${words[@]}"; do
    if [ "$word" = "%F" ]; then argv+=("${dropped[@]}"); else argv+=("$word"); fi
  done
  (cd "$home" && HOME=$home PATH=$scratch/tools:$scratch/root/usr/bin:$PATH "${argv[@]}" < /dev/null)
}
launch "$scratch/root/usr/share/applications/lumtass.desktop" > "$scratch/drop-lumtass.out"
check "files dropped onto the lumtass launcher give their table" same_table "$scratch/drop-lumtass.out"
launch "$scratch/root/usr/share/applications/brevane.desktop" > "$scratch/drop-brevane.out"
check "files dropped onto the brevane launcher give their table" same_table "$scratch/drop-brevane.out"
check "the brevane launcher writes config.cpp into the home folder" \
  config_holds_tracks "$home/config.cpp" "$music"
check "the brevane launcher opens that config.cpp" editor_opened "$home/config.cpp"

if [ "${CI:-}" = true ] && [ "$(id -u)" -eq 0 ]; then
  echo "--- installing the package with apt-get"
  # The machine is left as found: a package this run installed is removed again.
  installed_before=$(dpkg-query -W -f='${Status}' brevane 2>/dev/null || true)
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 install -y --no-install-recommends --reinstall "./$deb" \
    > "$scratch/apt.log" 2>&1 || cat "$scratch/apt.log"
  check "apt-get installs the package" bash -c "dpkg-query -W -f='\${Status} \${Version}' brevane | grep -qx 'install ok installed $version-1'"
  check "lumtass is on PATH at /usr/bin" test "$(command -v lumtass)" = /usr/bin/lumtass
  (cd "$home" && lumtass "${dropped[@]}" < /dev/null > "$scratch/apt-lumtass.out")
  check "installed lumtass prints the table of the dropped files" same_table "$scratch/apt-lumtass.out"
  check "installed launchers validate" \
    desktop-file-validate /usr/share/applications/lumtass.desktop /usr/share/applications/brevane.desktop
  if [ "$installed_before" != "install ok installed" ]; then
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 remove -y brevane > "$scratch/apt-remove.log" 2>&1 ||
      cat "$scratch/apt-remove.log"
  fi
else
  echo "--- installing with apt-get: skipped (only with CI=true as root)"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
