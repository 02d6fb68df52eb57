#!/usr/bin/env bash
# Installs what the project needs, builds it and runs every test through CTest.
# Run as root, it also brings up the Samba test LAN (tests/lan) for the network
# tests and takes it down at the end, whatever the tests did.
# Usage: ./test.sh [release|asan|tsan]   (default release)
set -euo pipefail
cd "$(dirname "$0")"
preset="${1:-release}"

scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"

if [ "$(id -u)" -eq 0 ]; then
  trap 'tests/lan/down >/dev/null 2>&1 || true' EXIT
  if ! QVLAN_BENCH=1 tests/lan/up --reuse; then
    echo "test.sh: the Samba test LAN did not come up" >&2
    # In CI the network tests must run, not be skipped.
    [ "${CI:-}" = "true" ] && exit 1
  fi
else
  echo "test.sh: not root: the tests that need the Samba test LAN are skipped"
fi

ctest --preset "$preset" -j "$(nproc)"
