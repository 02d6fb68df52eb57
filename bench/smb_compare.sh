#!/usr/bin/env bash
# Times a full walk of the test LAN's bench share (every row, empty name box) with
# qvsearch against smbclient's recursive listing of the same share, over the same
# protocols, and prints the ratios. Needs root and the Samba test LAN:
#   tests/lan/up && tests/lan/make-bench-share && bench/smb_compare.sh
# QUOTA=25000 first puts QVFILER3's smbd (and the servers it forks for each
# connection) in a cgroup-v1 cpu group of that many 100000ths of a core, as a small
# NAS box; the group is taken away at the end.
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

if [ -n "${QUOTA:-}" ]; then
  cgroot=/sys/fs/cgroup/cpu
  [ -w "$cgroot" ] || { echo "smb_compare.sh: no cgroup v1 cpu controller at $cgroot" >&2; exit 2; }
  group="$cgroot/qvlan-qvfiler3"
  unslow() {
    while read -r pid; do echo "$pid" >"$cgroot/tasks" 2>/dev/null || true; done <"$group/tasks"
    rmdir "$group" 2>/dev/null || true
  }
  trap unslow EXIT
  mkdir -p "$group"
  echo 100000 >"$group/cpu.cfs_period_us"
  echo "$QUOTA" >"$group/cpu.cfs_quota_us"
  for pid in $(pgrep -f "smbd .*/hosts/qvfiler3/smb.conf" || true); do echo "$pid" >"$group/tasks"; done
fi

export QVSEARCH LAN
{
  printf 'NOTE\tShare \\\\QVFILER3\\bench of the test LAN: %s entries; every command runs in the client namespace\n' "$entries"
  [ -z "${QUOTA:-}" ] || printf 'NOTE\tsmbd of QVFILER3 at %s/100000 of a core\n' "$QUOTA"
  printf 'RUN\twalk (SMB2/3)\t"$LAN/exec" "$QVSEARCH" '"'"'\\\\QVFILER3\\bench'"'"'\n'
  printf 'RUN\twalk (SMB2/3)\t"$LAN/exec" smbclient -N -m SMB3 //QVFILER3/bench -c "recurse; ls"\n'
  printf 'TARGET\twalk (SMB2/3)\t"$LAN/exec" smbclient -N -m SMB3 //QVFILER3/bench -c "recurse; ls"\t1.0\n'
  printf 'RUN\twalk (SMB2/3)\t"$LAN/exec" "$QVSEARCH" -j 1 '"'"'\\\\QVFILER3\\bench'"'"'\n'
  printf 'RUN\tfive patterns\t"$LAN/exec" "$QVSEARCH" -n "a;b;c;d;e" '"'"'\\\\QVFILER3\\bench'"'"'\n'
  printf 'RUN\tfive patterns\t"$LAN/exec" "$QVSEARCH" -n "a" '"'"'\\\\QVFILER3\\bench'"'"'\n'
} | python3 "$bench_dir/timing.py" --runs "$RUNS" --subject qvsearch
