#!/usr/bin/env bash
# Installs what building and testing need on Debian 12. Installs only what is missing, so it is
# quick on a machine that has it all. Needs root (or sudo).
set -euo pipefail

packages=(
  # build
  cmake g++ make pkg-config libstb-dev
  # tests: GoogleTest, encoders for test audio, pseudo-terminal runs
  libgtest-dev googletest vorbis-tools sox bsdutils
)
# More package lists may be added beside this one by later build targets.
for list in "$(dirname "$0")"/packages-*.txt; do
  [ -f "$list" ] && while read -r pkg _; do
    [ -n "$pkg" ] && [ "${pkg#\#}" = "$pkg" ] && packages+=("$pkg")
  done < "$list"
done

missing=()
for pkg in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
