#!/usr/bin/env bash
# The project's whole test run: installs what is missing, then runs each stage's script,
# scripts/test-STAGE.sh, in turn. Fails as soon as a stage fails, and before any runs when a
# stage's script is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
stages=(linux windows sanitizers packages)
echo "stages: ${stages[*]}"
for stage in "${stages[@]}"; do
  [ -f "scripts/test-$stage.sh" ] ||
    { echo "test-all: the stage $stage has no scripts/test-$stage.sh" >&2; exit 1; }
done
bash scripts/install-deps.sh
for stage in "${stages[@]}"; do
  echo "=== test-$stage ==="
  bash "scripts/test-$stage.sh"
done
