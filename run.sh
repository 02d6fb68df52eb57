#!/usr/bin/env bash
# Installs what the project needs, builds it and starts the program.
# Arguments are passed to the program.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
if [ $# -eq 0 ]; then
  exec build/cli/qvsearch --help
fi
exec build/cli/qvsearch "$@"
