#!/usr/bin/env bash
# scripts/install-packages for a user who is not root and has no sudo: one line that says
# what to install and how, and a failure; nothing is attempted. Needs root to become
# another user; skipped (exit 77) where that cannot be arranged.
set -uo pipefail
script="$(cd "$(dirname "$0")/.." && pwd)/scripts/install-packages"
if [ "$(id -u)" -ne 0 ] || command -v sudo >/dev/null 2>&1 || ! command -v setpriv >/dev/null 2>&1; then
  echo "skipped: needs root, setpriv and no sudo"
  exit 77
fi
out=$(setpriv --reuid=65534 --regid=65534 --clear-groups bash "$script" lumivo-no-such-package 2>&1)
status=$?
expected="lumivo: missing packages; as root, run: apt-get update && apt-get install -y --no-install-recommends lumivo-no-such-package"
if [ "$status" -ne 1 ] || [ "$out" != "$expected" ]; then
  echo "status $status, said: $out"
  exit 1
fi
echo "1 passed, 0 failed"
