#!/usr/bin/env bash
# Installs what the project needs, builds it and starts the program: the window (qv)
# without arguments; with arguments, the headless search qvsearch, given them.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
if [ $# -eq 0 ]; then
  exec build/app/qv
fi
exec build/cli/qvsearch "$@"
