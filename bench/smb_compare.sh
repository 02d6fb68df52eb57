#!/usr/bin/env bash
# Times a full walk of the test LAN's bench share (every row, empty name box) with
# qvsearch against smbclient's recursive listing of the same share, over the same
# protocols, and prints the ratios. Needs root and the Samba test LAN:
#   tests/lan/up && tests/lan/make-bench-share && bench/smb_compare.sh
set -euo pipefail
bench_dir="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$bench_dir/.." && pwd)"
QVSEARCH="${QVSEARCH:-$root/build/cli/qvsearch}"
RUNS="${RUNS:-5}"
LAN="$root/tests/lan"

if [ ! -x "$QVSEARCH" ]; then
  echo "smb_compare.sh: no qvsearch at $QVSEARCH; build it first: cmake --preset release && cmake --build --preset release" >&2
  exit 1
fi
if [ "$(id -u)" -ne 0 ] || [ ! -e "${QVLAN_RUN:-/run/qvlan}/ready" ]; then
  echo "smb_compare.sh: needs root and the Samba test LAN (tests/lan/up)" >&2
  exit 1
fi
entries=$("$LAN/exec" "$QVSEARCH" '\\QVFILER3\bench' 2>/dev/null | wc -l)
if [ "$entries" -lt 10000 ]; then
  echo "smb_compare.sh: the bench share holds $entries entries; fill it with tests/lan/make-bench-share" >&2
  exit 1
fi

export QVSEARCH LAN
{
  printf 'NOTE\tShare \\\\QVFILER3\\bench of the test LAN: %s entries; every command runs in the client namespace\n' "$entries"
  printf 'RUN\twalk (SMB2/3)\t"$LAN/exec" "$QVSEARCH" '"'"'\\\\QVFILER3\\bench'"'"'\n'
  printf 'RUN\twalk (SMB2/3)\t"$LAN/exec" smbclient -N -m SMB3 //QVFILER3/bench -c "recurse; ls"\n'
  printf 'TARGET\twalk (SMB2/3)\t"$LAN/exec" smbclient -N -m SMB3 //QVFILER3/bench -c "recurse; ls"\t1.1\n'
  printf 'RUN\tfive patterns\t"$LAN/exec" "$QVSEARCH" -n "a;b;c;d;e" '"'"'\\\\QVFILER3\\bench'"'"'\n'
  printf 'RUN\tfive patterns\t"$LAN/exec" "$QVSEARCH" -n "a" '"'"'\\\\QVFILER3\\bench'"'"'\n'
} | python3 "$bench_dir/timing.py" --runs "$RUNS" --subject qvsearch
