#!/usr/bin/env bash
# Times an entire-network search of the Samba test LAN walked one computer after the
# other (-j 1) against several at once (the default, -j 4), with three computers that
# each share FILES files in FOLDERS folders and whose smbd gets a quarter of a core
# (a small NAS box), and checks that both print the same rows in the same order.
#
# Usage (as root, the LAN up: tests/lan/up):  bench/lan_parallel.sh
# Environment: QVSEARCH (default build/cli/qvsearch), RUNS (3), FILES (8000),
#   FOLDERS (800), QUOTA (25000 µs of cpu per 100000 µs), DISCOVERY (0; 1 runs the
#   discovery round as a user's search does).
# What it adds to the LAN (a folder "parbench" in one share of each computer, the
# cpu groups) is taken away again at the end.
set -euo pipefail
bench_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo_dir="$(cd "$bench_dir/.." && pwd)"
lan="$repo_dir/tests/lan"
QVSEARCH="${QVSEARCH:-$repo_dir/build/cli/qvsearch}"
RUNS="${RUNS:-3}"
FILES="${FILES:-8000}"
FOLDERS="${FOLDERS:-800}"
QUOTA="${QUOTA:-25000}"
DISCOVERY="${DISCOVERY:-0}"
run_dir=/run/qvlan

[ "$(id -u)" -eq 0 ] || { echo "lan_parallel.sh: needs root (network namespaces)" >&2; exit 2; }
[ -e "$run_dir/ready" ] || { echo "lan_parallel.sh: the test LAN is not up (tests/lan/up)" >&2; exit 2; }
[ -x "$QVSEARCH" ] || { echo "lan_parallel.sh: no qvsearch at $QVSEARCH (build first)" >&2; exit 2; }
cgroot=/sys/fs/cgroup/cpu
[ -w "$cgroot" ] || { echo "lan_parallel.sh: no cgroup v1 cpu controller at $cgroot" >&2; exit 2; }
# cpuacct counts the cpu each server spent: in the cpu groups themselves where the two
# share a hierarchy (cpu,cpuacct), else in groups of its own hierarchy (acctgroups).
acctroot="" acctgroups=""
if [ -e "$cgroot/cpuacct.usage" ]; then
  acctroot=$cgroot
elif [ -w /sys/fs/cgroup/cpuacct ]; then
  acctroot=/sys/fs/cgroup/cpuacct acctgroups=$acctroot
fi

# host:share of the three slow computers.
hosts=(qvhost1:public qvhost2:data qvfiler3:archive)
out=$(mktemp -d)
# The LAN's own bench share (20,000 files when brought up with QVLAN_BENCH=1) would
# make one computer hold three times the others' files: it is set aside meanwhile.
bench_share="$run_dir/hosts/qvfiler3/shares/bench"
aside="$run_dir/parbench-aside"
cleanup() {
  if [ -d "$aside" ]; then
    find "$bench_share" -mindepth 1 -delete
    find "$aside" -mindepth 1 -maxdepth 1 -exec mv -t "$bench_share" {} +
    rmdir "$aside"
  fi
  for hs in "${hosts[@]}"; do
    host=${hs%%:*} share=${hs#*:}
    rm -rf "$run_dir/hosts/$host/shares/$share/parbench"
    for root in "$cgroot" ${acctgroups:+"$acctgroups"}; do
      group="$root/qvlan-$host"
      if [ -d "$group" ]; then
        while read -r pid; do echo "$pid" >"$root/tasks" 2>/dev/null || true; done <"$group/tasks"
        rmdir "$group" 2>/dev/null || true
      fi
    done
  done
  rm -rf "$out"
}
trap cleanup EXIT

if [ -d "$bench_share" ] && [ -n "$(ls -A "$bench_share")" ]; then
  mkdir -p "$aside"
  find "$bench_share" -mindepth 1 -maxdepth 1 -exec mv -t "$aside" {} +
fi

echo "Filling: $FILES files in $FOLDERS folders on each of ${hosts[*]}" >&2
for hs in "${hosts[@]}"; do
  host=${hs%%:*} share=${hs#*:}
  root="$run_dir/hosts/$host/shares/$share/parbench"
  rm -rf "$root"
  awk -v root="$root" -v files="$FILES" -v folders="$FOLDERS" -v host="$host" 'BEGIN {
      for (f = 0; f < folders; f++) {
          d = sprintf("%s/g%02d/d%04d", root, int(f / 100), f)
          system("mkdir -p " d)
      }
      for (i = 0; i < files; i++) {
          f = i % folders
          path = sprintf("%s/g%02d/d%04d/%s-%06d.txt", root, int(f / 100), f, host, i)
          printf "file %d of %s\n", i, host > path
          close(path)
      }
  }'
  find "$root" -exec touch -h -d @1709294400 {} +
  chmod -R u=rwX,go=rX "$root"
done

echo "Slowing smbd of each to $QUOTA/100000 of a core" >&2
for hs in "${hosts[@]}"; do
  host=${hs%%:*}
  group="$cgroot/qvlan-$host"
  mkdir -p "$group"
  echo 100000 >"$group/cpu.cfs_period_us"
  echo "$QUOTA" >"$group/cpu.cfs_quota_us"
  [ -z "$acctgroups" ] || mkdir -p "$acctgroups/qvlan-$host"
  # The server's processes now and the ones it forks for each connection later.
  pids=$(pgrep -f "smbd .*/hosts/$host/smb.conf" || true)
  [ -n "$pids" ] || { echo "lan_parallel.sh: no smbd of $host runs" >&2; exit 2; }
  for pid in $pids; do
    echo "$pid" >"$group/tasks"
    [ -z "$acctgroups" ] || echo "$pid" >"$acctgroups/qvlan-$host/tasks"
  done
done
throttled_periods() { awk '/^nr_throttled/ { print $2 }' "$cgroot/qvlan-$1/cpu.stat"; }
server_ns() { if [ -n "$acctroot" ]; then cat "$acctroot/qvlan-$1/cpuacct.usage"; else echo 0; fi; }

busy_jiffies() { awk '/^cpu / { print $2 + $3 + $4 + $7 + $8 }' /proc/stat; }
search() { # jobs output-file -> seconds on stdout; the machine's busy cpu seconds go to
  # $2.cpu, the cpu seconds each slow server spent to $2.servers
  local start end busy0 busy1 hs
  local -A server0
  for hs in "${hosts[@]}"; do server0[$hs]=$(server_ns "${hs%%:*}"); done
  busy0=$(busy_jiffies)
  start=$(date +%s.%N)
  "$lan/exec" env QV_DISCOVERY="$DISCOVERY" XDG_CACHE_HOME="$out/cache" "$QVSEARCH" -j "$1" '' >"$2" 2>/dev/null
  end=$(date +%s.%N)
  busy1=$(busy_jiffies)
  awk -v a="$busy0" -v b="$busy1" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.2f\n", (b - a) / hz }' >>"$2.cpu"
  for hs in "${hosts[@]}"; do
    awk -v a="${server0[$hs]}" -v b="$(server_ns "${hs%%:*}")" 'BEGIN { printf "%.2f ", (b - a) / 1e9 }'
  done >>"$2.servers"
  echo >>"$2.servers"
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }'
}

search 4 "$out/warm.txt" >/dev/null # fills the servers' caches and the address cache
declare -A throttled0
for hs in "${hosts[@]}"; do throttled0[$hs]=$(throttled_periods "${hs%%:*}"); done
one=() many=()
for ((r = 0; r < RUNS; r++)); do
  one+=("$(search 1 "$out/one.txt")")
  many+=("$(search 4 "$out/many.txt")")
done
median() { printf '%s\n' "$@" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
m1=$(median "${one[@]}") m4=$(median "${many[@]}")
lines=$(wc -l <"$out/one.txt")
same=identical
cmp -s "$out/one.txt" "$out/many.txt" || same="DIFFERENT"

echo "Entire network, $lines rows; smbd of ${#hosts[@]} computers at $QUOTA/100000 of a core;"
echo "QV_DISCOVERY=$DISCOVERY; $RUNS runs each (median), after one warm-up"
printf '  -j 1   %7.3f s   (%s); busy cpu s of the machine: %s\n' "$m1" "${one[*]}" "$(tr '\n' ' ' <"$out/one.txt.cpu")"
printf '  -j 4   %7.3f s   (%s); busy cpu s of the machine: %s\n' "$m4" "${many[*]}" "$(tr '\n' ' ' <"$out/many.txt.cpu")"
printf '  ratio -j4 / -j1 = %.2f  (goal <= 0.40); rows and order: %s\n' \
  "$(awk -v a="$m4" -v b="$m1" 'BEGIN { print a / b }')" "$same"
if [ -n "$acctroot" ]; then
  # A server's cpu over its share of a core is the least time its walk can take: -j 4
  # cannot end before the slowest of them, -j 1 not before all of them one by one.
  echo "  cpu s of each slow server (${hosts[*]}), each run:"
  echo "    -j 1: $(paste -sd '|' "$out/one.txt.servers" | sed 's/ |/ | /g')"
  echo "    -j 4: $(paste -sd '|' "$out/many.txt.servers" | sed 's/ |/ | /g')"
  awk -v q="$QUOTA" 'NR == 1 { for (i = 1; i <= NF; i++) { sum += $i; if ($i > most) most = $i } }
    END { printf "  least walk time at %d/100000 of a core, first -j 1 run: one at a time %.2f s, all at once %.2f s\n", q, sum * 100000 / q, most * 100000 / q }' "$out/one.txt.servers"
fi
for hs in "${hosts[@]}"; do
  host=${hs%%:*}
  [ "$(throttled_periods "$host")" -gt "${throttled0[$hs]}" ] ||
    echo "  warning: the smbd of $host was never held back by its cpu group: the figures do not show a slow server" >&2
done
[ "$same" = identical ]
