#!/usr/bin/env bash
# Times network-wide searches on the Samba test LAN, with discovery and without it,
# and, given an older qvsearch (BEFORE=path), with that one too; prints rows and
# seconds per run. Needs root and the test LAN:
#   tests/lan/up && bench/lan_discovery.sh
#   BEFORE=/path/to/old/build/cli/qvsearch bench/lan_discovery.sh
set -euo pipefail
bench_dir="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$bench_dir/.." && pwd)"
QVSEARCH="${QVSEARCH:-$root/build/cli/qvsearch}"
BEFORE="${BEFORE:-}"
RUNS="${RUNS:-3}"
LAN="$root/tests/lan"

if [ ! -x "$QVSEARCH" ]; then
  echo "lan_discovery.sh: no qvsearch at $QVSEARCH; build it first" >&2
  exit 1
fi
if [ "$(id -u)" -ne 0 ] || [ ! -e "${QVLAN_RUN:-/run/qvlan}/ready" ]; then
  echo "lan_discovery.sh: needs root and the Samba test LAN (tests/lan/up)" >&2
  exit 1
fi
cache=$(mktemp -d)
trap 'rm -rf "$cache"' EXIT

# run LABEL DISCOVERY BINARY ARGS...: RUNS timed runs, each with an empty cache.
run() {
  local label=$1 discovery=$2 binary=$3
  shift 3
  local i rows start end
  for i in $(seq 1 "$RUNS"); do
    rm -rf "${cache:?}"/*
    start=$(date +%s.%N)
    rows=$("$LAN/exec" env XDG_CACHE_HOME="$cache" QV_DISCOVERY="$discovery" "$binary" "$@" 2>/dev/null | wc -l)
    end=$(date +%s.%N)
    awk -v l="$label" -v r="$rows" -v a="$start" -v b="$end" 'BEGIN { printf "%-44s %6d rows %7.2f s\n", l, r, b - a }'
  done
}

for args in "-t 4|workgroups (-t 4)" "-t 3|computers (-t 3)" "-t 2|shares (-t 2)" \
            "-c MODERN-NEEDLE|files holding MODERN-NEEDLE" "|everything"; do
  a=${args%%|*}
  what=${args#*|}
  # shellcheck disable=SC2086  # the options are meant to split
  run "$what, discovery" 1 "$QVSEARCH" $a ''
  # shellcheck disable=SC2086
  run "$what, browse list only" 0 "$QVSEARCH" $a ''
  if [ -n "$BEFORE" ]; then
    # shellcheck disable=SC2086
    run "$what, before (browse list, NT1 share lists)" 0 "$BEFORE" $a ''
  fi
done
