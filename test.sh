#!/usr/bin/env bash
# Installs what the project needs, builds it and runs every test through CTest.
# Usage: ./test.sh [release|asan|tsan]   (default release)
set -euo pipefail
cd "$(dirname "$0")"
preset="${1:-release}"

scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j "$(nproc)"
