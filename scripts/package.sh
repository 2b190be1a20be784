#!/usr/bin/env bash
# Builds the release artefacts into dist/ (emptied first):
#   brevane-<version>-windows-x64.zip     Brevane.exe, Lumtass.exe (static), README.txt, LICENSE.txt
#   brevane-<version>-linux-x86_64.tar.gz bin/, share/ (manual pages, launchers, icons), README,
#                                         LICENSE
#   brevane_<version>-1_amd64.deb         the same under /usr, with changelog and copyright
# The version is the CMake project version. Installs what is missing first (needs root or sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
cmake -S . -B build-pkg -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_INSTALL_PREFIX=/usr
cmake --build build-pkg -j"$jobs" --target lumtass brevane packaging_docs
cmake -S . -B build-pkg-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build build-pkg-win -j"$jobs" --target lumtass brevane

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' build-pkg/CMakeCache.txt)
[ -n "$version" ] || { echo "package.sh: no project version in build-pkg/CMakeCache.txt" >&2; exit 1; }

rm -rf dist build-pkg/stage
mkdir -p dist build-pkg/stage

# Windows users open the text files with Notepad, hence CR LF.
to_crlf() { sed 's/\r$//; s/$/\r/' "$1" > "$2"; }

win=brevane-$version-windows-x64
mkdir build-pkg/stage/"$win"
for exe in Lumtass.exe Brevane.exe; do
  x86_64-w64-mingw32-strip -o build-pkg/stage/"$win/$exe" build-pkg-win/bin/"$exe"
done
to_crlf packaging/README-windows.txt build-pkg/stage/"$win"/README.txt
to_crlf LICENSE build-pkg/stage/"$win"/LICENSE.txt
(cd build-pkg/stage && zip -q -X -r "../../dist/$win.zip" "$win")

linux=brevane-$version-linux-x86_64
cmake --install build-pkg --strip --prefix "build-pkg/stage/$linux"
cp packaging/README-linux.txt "build-pkg/stage/$linux/README"
cp LICENSE "build-pkg/stage/$linux/LICENSE"
tar -C build-pkg/stage --sort=name --owner=0 --group=0 --numeric-owner -czf "dist/$linux.tar.gz" "$linux"

(cd build-pkg && cpack -G DEB)
cp build-pkg/brevane_"$version"-*_amd64.deb dist/

ls -l dist
