#!/usr/bin/env bash
# Builds the release artefacts into dist/ (emptied first):
#   brevane-<version>-windows-x64.zip     Brevane.exe, Lumtass.exe (static), README.txt, LICENSE.txt
#   brevane-<version>-linux-x86_64.tar.gz bin/, share/ (manual pages, launchers, icons), README,
#                                         LICENSE; the decoder compiled in, for any glibc Linux
#   brevane_<version>-1_amd64.deb         the same under /usr, linking Debian's libstb, with
#                                         changelog and copyright
#   SHA256SUMS                            the three files' SHA-256 sums
# The version is the CMake project version. One commit gives the same bytes wherever and whenever
# it is built: every time stamp is SOURCE_DATE_EPOCH, by default the last commit's time.
# Installs what is missing of the build and packaging lists first (needs root or sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh build packaging

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct) ||
    { echo "package.sh: no git history here; set SOURCE_DATE_EPOCH" >&2; exit 1; }
fi
# cpack and dpkg-deb take the .deb's member times from it, strip the .exe files' PE time stamps.
export SOURCE_DATE_EPOCH
export TZ=UTC LC_ALL=C  # zip stores local times; sort orders bytes

jobs=$(nproc)
linux_build() {  # FOLDER CMAKE_OPTION...
  cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF "${@:2}"
  cmake --build "$1" -j"$jobs" --target lumtass brevane packaging_docs
}
# Debian's package links Debian's libstb; the tarball, for other systems, has the decoder inside.
linux_build build-pkg -DCMAKE_INSTALL_PREFIX=/usr -DSTB_VORBIS_FROM_SOURCE=OFF
linux_build build-pkg-tar -DSTB_VORBIS_FROM_SOURCE=ON
cmake -S . -B build-pkg-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build build-pkg-win -j"$jobs" --target lumtass brevane

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' build-pkg/CMakeCache.txt)
[ -n "$version" ] || { echo "package.sh: no project version in build-pkg/CMakeCache.txt" >&2; exit 1; }

stage=build-pkg/stage
rm -rf dist "$stage"
mkdir -p dist "$stage"

# Windows users open the text files with Notepad, hence CR LF.
to_crlf() { sed 's/\r$//; s/$/\r/' "$1" > "$2"; }

win=brevane-$version-windows-x64
mkdir "$stage/$win"
for exe in Lumtass.exe Brevane.exe; do
  x86_64-w64-mingw32-strip -o "$stage/$win/$exe" build-pkg-win/bin/"$exe"
done
to_crlf packaging/README-windows.txt "$stage/$win"/README.txt
to_crlf LICENSE "$stage/$win"/LICENSE.txt
# Members sorted, all with the epoch's time, fixed modes, no extra fields (owners, other times).
chmod -R u=rwX,go=rX "$stage/$win"
find "$stage/$win" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
(cd "$stage" && find "$win" | sort | zip -q -X -@ "../../dist/$win.zip")

# Everything but the Debian-only files (the lintian override, changelog and copyright).
linux=brevane-$version-linux-x86_64
cmake --install build-pkg-tar --strip --component programs --prefix "$stage/$linux"
# The README names the oldest C and C++ libraries the programs run with: the newest symbol
# versions they import.
# (Assigned first: a failure inside the sed command's arguments would go unnoticed.)
newest() { objdump -T "$stage/$linux"/bin/* | grep -o "$1_[0-9.]*" | sort -uV | tail -n 1; }
glibc=$(newest GLIBC | cut -d_ -f2)
glibcxx=$(newest GLIBCXX)
sed -e "s/@GLIBC@/$glibc/" -e "s/@GLIBCXX@/$glibcxx/" packaging/README-linux.txt > "$stage/$linux/README"
cp LICENSE "$stage/$linux/LICENSE"
# Every member gets the epoch's time: clamping to it would keep older times, and files installed
# from the source tree keep their checkout's.
tar -C "$stage" --sort=name --mtime="@$SOURCE_DATE_EPOCH" --mode=u=rwX,go=rX \
  --owner=0 --group=0 --numeric-owner -cf - "$linux" | gzip -9n > "dist/$linux.tar.gz"

(cd build-pkg && cpack -G DEB)
# cpack adds each folder's size on disk to Installed-Size, which differs between file systems
# (4 KiB on ext4, less on tmpfs). Count as dpkg does, each file in whole KiB and 1 for anything
# else, and build the package again with dpkg-deb.
tree=build-pkg/deb-tree
rm -rf "$tree"
dpkg-deb -R build-pkg/brevane_"$version"-*_amd64.deb "$tree"
size=$(find "$tree" -path "$tree/DEBIAN" -prune -o ! -path "$tree" -printf '%y %s\n' |
  awk '{ kib += $1 == "f" ? int(($2 + 1023) / 1024) : 1 } END { print kib }')
sed -i "s/^Installed-Size: .*/Installed-Size: $size/" "$tree/DEBIAN/control"
dpkg-deb --root-owner-group -b "$tree" dist/ > /dev/null

(cd dist && sha256sum -- "$win.zip" "$linux.tar.gz" brevane_*.deb > SHA256SUMS)
ls -l dist
