#!/usr/bin/env bash
# The project's whole test run: installs what is missing, then builds and tests every target.
# Fails as soon as any part fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
for part in linux windows sanitizers packages; do
  if [ -f "scripts/test-$part.sh" ]; then
    echo "=== test-$part ==="
    bash "scripts/test-$part.sh"
  fi
done
