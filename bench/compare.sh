#!/usr/bin/env bash
# Times qvsearch against find, grep, ripgrep and fd on a synthetic tree.
#
# Usage: bench/compare.sh
# Environment:
#   QVSEARCH  qvsearch binary (default: build/cli/qvsearch in the repository)
#   TREE      tree to search (default: bench/data/tree, built by make_tree.py
#             when missing; a folder without a make_tree stamp is used as is)
#   RUNS      timed runs per command after one warm-up (default 5)
#   SEED, FILES, FOLDERS   parameters of the generated tree
#                          (default 1, 200000, 20000)
# See bench/README.md for what the table means.
set -euo pipefail

bench_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo_dir="$(cd "$bench_dir/.." && pwd)"

QVSEARCH="${QVSEARCH:-$repo_dir/build/cli/qvsearch}"
if [ ! -x "$QVSEARCH" ]; then
  cat >&2 <<EOF
compare.sh: qvsearch not found at $QVSEARCH
Build it first, from the repository root:
    cmake --preset release && cmake --build --preset release
or point QVSEARCH at a binary: QVSEARCH=/path/to/qvsearch bench/compare.sh
EOF
  exit 1
fi
QVSEARCH="$(cd "$(dirname "$QVSEARCH")" && pwd)/$(basename "$QVSEARCH")"

TREE="${TREE:-$bench_dir/data/tree}"
RUNS="${RUNS:-5}"
SEED="${SEED:-1}"
FILES="${FILES:-200000}"
FOLDERS="${FOLDERS:-20000}"

# One locale for every command: UTF-8 names and case folding, no locale tables.
export LC_ALL=C.UTF-8

if [ -d "$TREE" ] && [ ! -e "$TREE.stamp" ] && [ -n "$(ls -A "$TREE")" ]; then
  echo "compare.sh: $TREE has no make_tree stamp; searching it as it is" >&2
  tree_info="$TREE (not generated)"
else
  mkdir -p "$(dirname "$TREE")"
  python3 "$bench_dir/make_tree.py" "$TREE" --seed "$SEED" --files "$FILES" --folders "$FOLDERS"
  tree_info="$(python3 - "$TREE.stamp" <<'EOF'
import json, sys
s = json.load(open(sys.argv[1], encoding="utf-8"))
print("%d files, %d folders, %.0f MiB, seed %d; expected: %d names contain %r, "
      "%d files contain %r, %d entries below the top folder"
      % (s["files"], s["folders"], s["bytes"] / 2**20, s["seed"], s["name_hits"],
         s["name_word"], s["marker_files"], s["marker_word"], s["entries"]))
EOF
)"
fi
TREE="$(cd "$TREE" && pwd)"
export TREE QVSEARCH

echo "Warming the cache (reading every folder and file once)..." >&2
find "$TREE" -printf '' >/dev/null
find "$TREE" -type f -exec cat {} + >/dev/null

# Commands exactly as run (bash -c, with TREE and QVSEARCH in the environment).
qv_name='"$QVSEARCH" -n report "$TREE"'
find_name='find "$TREE" -iname '\''*report*'\'''
fd_name='fdfind -j1 report "$TREE"'
qv_list='"$QVSEARCH" "$TREE"'
find_list='find "$TREE" -printf '\''%s %T@ %A@ %C@\n'\'''
qv_content='"$QVSEARCH" -c quendlemarker "$TREE"'
grep_content='grep -rli quendlemarker "$TREE"'
rg_content='rg -j1 -l -i -F quendlemarker "$TREE"'

have() { command -v "$1" >/dev/null 2>&1; }

{
  printf 'NOTE\tTree: %s\n' "$TREE"
  printf 'NOTE\t      %s\n' "$tree_info"
  printf 'NOTE\tMachine: %s CPUs, %s; LC_ALL=%s; %s timed runs per command (median), after one warm-up\n' \
    "$(nproc)" "$(uname -sr)" "$LC_ALL" "$RUNS"
  printf 'NOTE\tEvery command: CMD 2>/dev/null | cat >/dev/null\n'

  printf 'RUN\tname search\t%s\n' "$qv_name"
  printf 'RUN\tname search\t%s\n' "$find_name"
  if have fdfind; then
    printf 'RUN\tname search\t%s\n' "$fd_name"
  else
    printf 'NOTE\t(fdfind not installed: name search without fd)\n'
  fi

  printf 'RUN\tfull listing\t%s\n' "$qv_list"
  printf 'RUN\tfull listing\t%s\n' "$find_list"

  printf 'RUN\tcontent search\t%s\n' "$qv_content"
  printf 'RUN\tcontent search\t%s\n' "$grep_content"
  if have rg; then
    printf 'RUN\tcontent search\t%s\n' "$rg_content"
  else
    printf 'NOTE\t(rg not installed: content search without ripgrep)\n'
  fi

  printf 'TARGET\tname search\t%s\t1.0\n' "$find_name"
  printf 'TARGET\tfull listing\t%s\t1.2\n' "$find_list"
  printf 'TARGET\tcontent search\t%s\t1.0\n' "$grep_content"
} | python3 "$bench_dir/timing.py" --runs "$RUNS" --subject qvsearch
