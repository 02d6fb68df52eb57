#!/usr/bin/env bash
# Times qvsearch against find, grep, ripgrep and fd on a synthetic tree.
#
# Usage: bench/compare.sh
# Environment:
#   QVSEARCH  qvsearch binary (default: build/cli/qvsearch in the repository)
#   TREE      tree to search (default: bench/data/tree, built by make_tree.py
#             when missing; a folder without a make_tree stamp is used as is)
#   MIXED     copy of TREE with a third of its text files in CP932, EUC-JP and
#             UTF-16 (default: bench/data/tree-mixed, built by
#             make_encoded_copy.py when missing; a folder without a stamp is
#             used as is)
#   TASKS     tasks to run, comma-separated: name, listing, content or all
#             (default all); TASKS=content runs only the content searches
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
MIXED="${MIXED:-$bench_dir/data/tree-mixed}"
TASKS="${TASKS:-all}"
RUNS="${RUNS:-5}"
SEED="${SEED:-1}"
FILES="${FILES:-200000}"
FOLDERS="${FOLDERS:-20000}"

TASKS="${TASKS// /,}"
for t in ${TASKS//,/ }; do
  case "$t" in
    all|name|listing|content) ;;
    *) echo "compare.sh: unknown task '$t' in TASKS (name, listing, content or all)" >&2
       exit 2 ;;
  esac
done
want() { case ",$TASKS," in *,all,*|*,"$1",*) return 0 ;; esac; return 1; }

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

mixed_info=()
if ! want content; then
  MIXED=""
elif [ -d "$MIXED" ] && [ ! -e "$MIXED.stamp" ] && [ -n "$(ls -A "$MIXED")" ]; then
  echo "compare.sh: $MIXED has no make_encoded_copy stamp; searching it as it is" >&2
  mixed_info=("$MIXED (not generated)")
elif [ -e "$TREE.stamp" ]; then
  mkdir -p "$(dirname "$MIXED")"
  python3 "$bench_dir/make_encoded_copy.py" "$TREE" "$MIXED" --seed "$SEED"
  mapfile -t mixed_info < <(python3 - "$MIXED.stamp" <<'EOF'
import json, sys
s = json.load(open(sys.argv[1], encoding="utf-8"))
order = ("utf-8", "cp932", "euc_jp", "utf-16le-bom", "utf-16be-bom", "utf-16le")
def per(d):
    return ", ".join("%s %d" % (e, d[e]) for e in order)
print("copy of the tree, seed %d, share %g, %.0f MiB; text files: %s (utf-16le: no BOM)"
      % (s["seed"], s["share"], s["bytes"] / 2**20, per(s["counts"])))
print("expected: %d files contain %r (%s)"
      % (sum(s["marker_files"].values()), s["marker_word"], per(s["marker_files"])))
print("          %d files contain %r in both trees (in MIXED: %s)"
      % (sum(s["japanese_word_files"].values()), s["japanese_word"],
         per(s["japanese_word_files"])))
EOF
)
else
  echo "compare.sh: $TREE was not generated, so there is no copy of it in other" \
       "encodings; mixed-encoding tasks skipped (set MIXED to a tree to search)" >&2
  MIXED=""
fi
[ -z "$MIXED" ] || MIXED="$(cd "$MIXED" && pwd)"
export TREE MIXED QVSEARCH

echo "Warming the cache (reading every folder and file once)..." >&2
for t in "$TREE" ${MIXED:+"$MIXED"}; do
  find "$t" -printf '' >/dev/null
  find "$t" -type f -exec cat {} + >/dev/null
done

# Commands exactly as run (bash -c, with TREE, MIXED and QVSEARCH in the environment).
qv_name='"$QVSEARCH" -n report "$TREE"'
find_name='find "$TREE" -iname '\''*report*'\'''
fd_name='fdfind -j1 report "$TREE"'
qv_list='"$QVSEARCH" "$TREE"'
find_list='find "$TREE" -printf '\''%s %T@ %A@ %C@\n'\'''
qv_content='"$QVSEARCH" -c quendlemarker "$TREE"'
grep_content='grep -rli quendlemarker "$TREE"'
rg_content='rg -j1 -l -i -F quendlemarker "$TREE"'
qv_mixed='"$QVSEARCH" -c quendlemarker "$MIXED"'
rg_mixed='rg -j1 -l -i -F quendlemarker "$MIXED"'
qv_ja_mixed='"$QVSEARCH" -c 見積書 "$MIXED"'
qv_ja_tree='"$QVSEARCH" -c 見積書 "$TREE"'

have() { command -v "$1" >/dev/null 2>&1; }

{
  printf 'NOTE\tTree: %s\n' "$TREE"
  printf 'NOTE\t      %s\n' "$tree_info"
  if [ -n "$MIXED" ]; then
    printf 'NOTE\tMixed: %s\n' "$MIXED"
    for line in "${mixed_info[@]}"; do
      printf 'NOTE\t       %s\n' "$line"
    done
  fi
  printf 'NOTE\tMachine: %s CPUs, %s; LC_ALL=%s; %s timed runs per command (median), after one warm-up\n' \
    "$(nproc)" "$(uname -sr)" "$LC_ALL" "$RUNS"
  printf 'NOTE\tEvery command: CMD 2>/dev/null | cat >/dev/null\n'

  if want name; then
    printf 'RUN\tname search\t%s\n' "$qv_name"
    printf 'RUN\tname search\t%s\n' "$find_name"
    if have fdfind; then
      printf 'RUN\tname search\t%s\n' "$fd_name"
    else
      printf 'NOTE\t(fdfind not installed: name search without fd)\n'
    fi
  fi

  if want listing; then
    printf 'RUN\tfull listing\t%s\n' "$qv_list"
    printf 'RUN\tfull listing\t%s\n' "$find_list"
  fi

  if want content; then
    printf 'RUN\tcontent search\t%s\n' "$qv_content"
    printf 'RUN\tcontent search\t%s\n' "$grep_content"
    if have rg; then
      printf 'RUN\tcontent search\t%s\n' "$rg_content"
    else
      printf 'NOTE\t(rg not installed: content search without ripgrep)\n'
    fi
    if [ -n "$MIXED" ]; then
      printf 'RUN\tcontent, mixed encodings\t%s\n' "$qv_mixed"
      if have rg; then
        printf 'RUN\tcontent, mixed encodings\t%s\n' "$rg_mixed"
        printf 'NOTE\t(ripgrep reads UTF-16 only with a BOM and CP932/EUC-JP as bytes,'
        printf ' so its count on the mixed tree may differ)\n'
      fi
      printf 'RUN\tcontent, Japanese\t%s\n' "$qv_ja_mixed"
      printf 'RUN\tcontent, Japanese\t%s\n' "$qv_ja_tree"
    fi
  fi

  if want name; then
    printf 'TARGET\tname search\t%s\t1.0\n' "$find_name"
  fi
  if want listing; then
    printf 'TARGET\tfull listing\t%s\t1.2\n' "$find_list"
  fi
  if want content; then
    printf 'TARGET\tcontent search\t%s\t1.0\n' "$grep_content"
    printf 'TARGET\tcontent search\t%s\t1.0\tcontent vs ripgrep\n' "$rg_content"
    printf 'TARGET\tcontent, mixed encodings\t%s\t1.3\tmixed encodings\t%s\n' \
      "$qv_content" 'qvsearch MIXED / qvsearch TREE'
  fi
} | python3 "$bench_dir/timing.py" --runs "$RUNS" --subject qvsearch
