#!/usr/bin/env bash
# The same search with Debian's command-line tools: every document's text taken out
# (pdftotext for PDFs; unzip -p of the text parts, tags removed by sed, for office
# documents), then grep; prints the paths of the documents that hold WORD.
#   bench/extract_and_grep.sh TREE WORD
# DOCS_KINDS=office leaves the PDFs out, as qvsearch -n does in bench/documents.sh.
set -u
tree=$1 word=$2
skip='^$'
[ "${DOCS_KINDS:-}" = office ] && skip='\.pdf$'
find "$tree" -type f ! -name '.*' | grep -v -- "$skip" | sort | while IFS= read -r f; do
    case "$f" in
    *.pdf) pdftotext -q "$f" - ;;
    *.docx) unzip -p "$f" 'word/document.xml' 'word/header*.xml' 'word/footer*.xml' 'word/comments.xml' 2>/dev/null |
        sed -e 's/<\/w:p>/\n/g' -e 's/<[^>]*>//g' ;;
    *.xlsx) unzip -p "$f" 'xl/sharedStrings.xml' 'xl/worksheets/*.xml' 2>/dev/null |
        sed -e 's/<\/si>/\n/g' -e 's/<\/c>/\n/g' -e 's/<[^>]*>//g' ;;
    *.pptx) unzip -p "$f" 'ppt/slides/*.xml' 2>/dev/null | sed -e 's/<\/a:p>/\n/g' -e 's/<[^>]*>//g' ;;
    *.odt | *.ods | *.odp) unzip -p "$f" content.xml styles.xml 2>/dev/null |
        sed -e 's/<\/text:p>/\n/g' -e 's/<[^>]*>//g' ;;
    *) cat "$f" ;;
    esac | grep -qiF -- "$word" && printf '%s\n' "$f"
done
exit 0
