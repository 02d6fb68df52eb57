#!/usr/bin/env bash
# Times a content search of a tree of office documents and PDFs by qvsearch
# against taking every document's text out with Debian's command-line tools and
# searching that (bench/extract_and_grep.sh), checks that both find the same
# documents, and prints the peak memory of the search (any one process: qvsearch
# and the qv-doc helper it starts). See bench/README.md.
#   RUNS=3 DOCS=bench/data/documents WORD=見積書 bench/documents.sh
set -euo pipefail
bench_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$bench_dir")
QVSEARCH=${QVSEARCH:-$root/build/cli/qvsearch}
DOCS=${DOCS:-$root/bench/data/documents}
WORD=${WORD:-見積書}
RUNS=${RUNS:-3}
COUNT=${COUNT:-2000}
[ -x "$QVSEARCH" ] || { echo "no $QVSEARCH: build first (cmake --build --preset release)" >&2; exit 1; }
for tool in pdftotext unzip; do
    command -v "$tool" >/dev/null || { echo "$tool missing: apt-get install poppler-utils unzip" >&2; exit 1; }
done
python3 "$bench_dir/make_documents.py" "$DOCS" --count "$COUNT"
export QVSEARCH DOCS WORD bench_dir

# The same documents found, by path.
"$QVSEARCH" -c "$WORD" "$DOCS" 2>/dev/null | awk -F'\t' '{print $2 "/" $1}' | sort >/tmp/qv-documents.$$
"$bench_dir/extract_and_grep.sh" "$DOCS" "$WORD" | sort >/tmp/tools-documents.$$
if cmp -s /tmp/qv-documents.$$ /tmp/tools-documents.$$; then
    echo "Both find the same $(wc -l </tmp/qv-documents.$$) documents."
else
    echo "The documents found differ:"; diff /tmp/qv-documents.$$ /tmp/tools-documents.$$ || true
fi
rm -f /tmp/qv-documents.$$ /tmp/tools-documents.$$

# Peak resident memory of any one process of the search (wait4 counts the helper).
/usr/bin/time -f "Peak memory of the search: %M KB (qvsearch or its qv-doc helper)" \
    "$QVSEARCH" -c "$WORD" "$DOCS" >/dev/null 2>/tmp/qv-time.$$ || true
tail -1 /tmp/qv-time.$$
rm -f /tmp/qv-time.$$

{
    printf 'NOTE\t%s documents in %s, searched for %s\n' "$COUNT" "$DOCS" "$WORD"
    printf 'RUN\tdocuments\t"$QVSEARCH" -c "$WORD" "$DOCS"\n'
    printf 'RUN\tdocuments\t"$bench_dir/extract_and_grep.sh" "$DOCS" "$WORD"\n'
    printf 'RUN\tno-pdf\t"$QVSEARCH" -n "*.docx;*.xlsx;*.pptx;*.odt;*.ods;*.odp" -c "$WORD" "$DOCS"\n'
    printf 'RUN\tno-pdf\tDOCS_KINDS=office "$bench_dir/extract_and_grep.sh" "$DOCS" "$WORD"\n'
} | python3 "$bench_dir/timing.py" --runs "$RUNS" --subject qvsearch
