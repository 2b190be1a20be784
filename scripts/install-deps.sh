#!/usr/bin/env bash
# Installs what is missing on Debian 12. Needs root (or sudo).
#
#   install-deps.sh            every list: building, testing, the Windows build, packaging
#   install-deps.sh LIST...    only scripts/packages-LIST.txt for each LIST (e.g. "build")
#
# Installs only what is missing, so it is quick on a machine that has it all. Waits up to
# five minutes for another package manager (automatic updates, say) to let go of its lock.
set -euo pipefail
here=$(dirname "$0")

if [ $# -gt 0 ]; then
  lists=()
  for name in "$@"; do lists+=("$here/packages-$name.txt"); done
else
  lists=("$here"/packages-*.txt)
fi

packages=()
for list in "${lists[@]}"; do
  [ -f "$list" ] || { echo "install-deps: no package list $list" >&2; exit 2; }
  while read -r pkg _; do
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
  lock=(-o DPkg::Lock::Timeout=300)
  $sudo apt-get "${lock[@]}" update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get "${lock[@]}" install -y --no-install-recommends \
    "${missing[@]}"
fi
