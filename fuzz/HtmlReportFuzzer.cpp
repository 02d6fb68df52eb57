// The HTML report writer on rows and criteria of any bytes: the page must read back
// as tags and text with nothing left unescaped, one table row of nine cells per result
// row, and every cell's text, unescaped, must be the row's cell exactly (the Name and
// Path cells as a link's text where they are links). A writer that fails part way
// writes nothing more.
#include "fuzz/FuzzCheck.h"
#include "platform/ReportOutput.h"
#include "results/CellFormat.h"
#include "results/HtmlReport.h"
#include "results/ResultRowList.h"
#include "search/SearchCriteria.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using namespace qv;
using qv::fuzz::shown;

namespace {

struct MemoryOutput final : ReportOutput {
    std::string bytes;
    int calls = 0;
    int refuseFrom = -1; // the call from which on writes fail; -1: none
    bool write(std::string_view chunk) override
    {
        const bool refused = refuseFrom >= 0 && calls >= refuseFrom;
        ++calls;
        if (!refused)
            bytes += chunk;
        return !refused;
    }
};

struct Token {
    bool tag = false;
    std::string text; // a tag without its brackets, or raw text
};

// The page as tags and text; a page that is not well formed fails the check here.
std::vector<Token> tokens(const std::string& page)
{
    std::vector<Token> out;
    for (std::size_t pos = 0; pos < page.size();) {
        if (page[pos] == '<') {
            const std::size_t end = page.find('>', pos);
            QV_FUZZ_CHECK(end != std::string::npos, "a tag is not closed");
            const std::string tag = page.substr(pos + 1, end - pos - 1);
            QV_FUZZ_CHECK(tag.find('<') == std::string::npos, "«<» inside tag «" + shown(tag) + "»");
            std::size_t quotes = 0;
            for (const char c : tag)
                quotes += c == '"';
            QV_FUZZ_CHECK(quotes % 2 == 0, "unbalanced quotes in tag «" + shown(tag) + "»");
            out.push_back({true, tag});
            pos = end + 1;
            continue;
        }
        const std::size_t end = std::min(page.find('<', pos), page.size());
        const std::string text = page.substr(pos, end - pos);
        QV_FUZZ_CHECK(text.find_first_of(">\"") == std::string::npos, "raw «>» or «\"» in text «" + shown(text) + "»");
        out.push_back({false, text});
        pos = end;
    }
    return out;
}

std::string unescaped(const std::string& text)
{
    static const std::pair<std::string_view, char> kReferences[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
    std::string out;
    for (std::size_t pos = 0; pos < text.size();) {
        if (text[pos] != '&') {
            out += text[pos++];
            continue;
        }
        bool known = false;
        for (const auto& [reference, c] : kReferences) {
            if (text.compare(pos, reference.size(), reference) == 0) {
                out += c;
                pos += reference.size();
                known = true;
                break;
            }
        }
        QV_FUZZ_CHECK(known, "a bare «&» in «" + shown(text) + "»");
    }
    return out;
}

// The text of one cell: "&nbsp" for an empty one, else the escaped text and CR LF,
// or a link whose text is the cell's (the Path cell writes its plain text without CR LF).
std::string cellText(const std::vector<Token>& cell, bool plainWithoutLineEnd)
{
    if (cell.size() == 1 && !cell[0].tag && cell[0].text == "&nbsp")
        return {};
    if (cell.size() == 1 && !cell[0].tag) {
        std::string text = cell[0].text;
        if (!plainWithoutLineEnd) {
            QV_FUZZ_CHECK(text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0,
                          "cell text «" + shown(text) + "» without its line end");
            text.resize(text.size() - 2);
        }
        QV_FUZZ_CHECK(!text.empty(), "an empty cell not written as &nbsp");
        return unescaped(text);
    }
    const bool link = (cell.size() == 3 && cell[1].tag == false) || cell.size() == 2;
    QV_FUZZ_CHECK(link && cell.front().tag && cell.front().text.starts_with("a href = \"") && cell.front().text.back() == '"'
                      && cell.back().tag && cell.back().text == "/a",
                  "a cell that is neither text nor one link");
    unescaped(cell.front().text.substr(10, cell.front().text.size() - 11)); // the URL's references are known ones
    return cell.size() == 3 ? unescaped(cell[1].text) : std::string();
}

std::string bytesOf(FuzzedDataProvider& input, std::size_t most) { return input.ConsumeRandomLengthString(most); }

ResultRow randomRow(FuzzedDataProvider& input)
{
    ResultRow row;
    for (std::string& cell : row.cells)
        cell = bytesOf(input, 40);
    // Paths of the shapes rows carry: none, a network path, a local one, a share row's.
    switch (input.ConsumeIntegralInRange(0, 4)) {
    case 0: row.cell(Column::Path).clear(); break;
    case 1: row.cell(Column::Path) = "\\\\" + row.cell(Column::Path); break;
    case 2: row.cell(Column::Path) = "/" + row.cell(Column::Path); break;
    case 3: row.cell(Column::Name) = "\\\\" + row.cell(Column::Name); break;
    default: break;
    }
    if (input.ConsumeBool())
        row.sourcePath = (input.ConsumeBool() ? "/" : "\\\\") + bytesOf(input, 40);
    return row;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    SearchCriteria criteria;
    criteria.nameText = bytesOf(input, 60);
    criteria.containing = input.ConsumeBool();
    criteria.containingText = bytesOf(input, 60);
    criteria.lookInPath = bytesOf(input, 60);
    criteria.typeIndex = input.ConsumeIntegralInRange(-1, 6);
    ResultRowList rows;
    for (int i = 0, n = input.ConsumeIntegralInRange(0, 6); i < n; ++i)
        rows.add(randomRow(input));
    const int refuseFrom = input.ConsumeIntegralInRange(-1, 3);

    MemoryOutput out;
    const bool written = HtmlReport::write(criteria, rows.count(), rows, out);
    QV_FUZZ_CHECK(written, "the report failed on an output that takes every byte");
    const std::vector<Token> page = tokens(out.bytes);

    // The criteria paragraph's first text: the name text without its separators, then the place.
    std::size_t at = 0;
    while (at < page.size() && !(page[at].tag == false && page[at].text.starts_with("Search  ")))
        ++at;
    QV_FUZZ_CHECK(at < page.size(), "no criteria paragraph");
    std::string name = criteria.nameText;
    std::erase(name, ';');
    const std::string place = criteria.lookInPath.empty() ? "ネットワーク全体" : CellFormat::displayText(criteria.lookInPath);
    QV_FUZZ_CHECK(unescaped(page[at].text) == "Search  " + CellFormat::displayText(name) + "  from   " + place + "\r\n",
                  "the criteria read back as «" + shown(unescaped(page[at].text)) + "»");
    if (criteria.containing) {
        while (at < page.size() && !(page[at].tag == false && page[at].text.starts_with("\r\n has string:\r\n")))
            ++at;
        QV_FUZZ_CHECK(at < page.size(), "no containing string in «" + shown(out.bytes) + "»");
        const std::string containing = CellFormat::displayText(criteria.containingText) + " ";
        QV_FUZZ_CHECK(unescaped(page[at].text) == "\r\n has string:\r\n" + containing + "\r\n",
                      "the containing string read back as «" + shown(unescaped(page[at].text)) + "»");
    }

    // The table: a header row, then one row of nine cells per result row, top row first.
    std::vector<std::vector<std::vector<Token>>> tableRows;
    int tables = 0;
    for (std::size_t i = 0; i < page.size(); ++i) {
        const Token& t = page[i];
        if (!t.tag)
            continue;
        if (t.text.starts_with("table ")) {
            ++tables;
        } else if (t.text == "tr") {
            tableRows.emplace_back();
        } else if (t.text == "td" || t.text == "td ") {
            QV_FUZZ_CHECK(!tableRows.empty(), "a cell outside a row");
            std::vector<Token> cell;
            std::size_t j = i + 1;
            for (; j < page.size() && !(page[j].tag && page[j].text == "/td"); ++j) {
                QV_FUZZ_CHECK(!(page[j].tag && (page[j].text == "td" || page[j].text == "/tr")), "a cell not closed");
                cell.push_back(page[j]);
            }
            // "<td>" ends its line: the cell's content starts after that line end.
            if (!cell.empty() && !cell[0].tag) {
                QV_FUZZ_CHECK(cell[0].text.starts_with("\r\n"), "a cell's content on the line of its <td>");
                cell[0].text.erase(0, 2);
                if (cell[0].text.empty())
                    cell.erase(cell.begin());
            }
            QV_FUZZ_CHECK(j < page.size(), "the last cell is not closed");
            tableRows.back().push_back(cell);
            i = j;
        }
    }
    QV_FUZZ_CHECK(tables == 1, "tables: " + std::to_string(tables));
    QV_FUZZ_CHECK(tableRows.size() == static_cast<std::size_t>(rows.count()) + 1,
                  std::to_string(tableRows.size()) + " table rows for " + std::to_string(rows.count()) + " rows");
    for (std::int64_t r = 0; r < rows.count(); ++r) {
        const auto& cells = tableRows[static_cast<std::size_t>(r) + 1];
        QV_FUZZ_CHECK(cells.size() == kColumnCount, "row " + std::to_string(r) + " has " + std::to_string(cells.size()) + " cells");
        for (int c = 0; c < kColumnCount; ++c) {
            const std::string expected = rows.at(r).cells[static_cast<std::size_t>(c)];
            const std::string got = cellText(cells[static_cast<std::size_t>(c)], c == static_cast<int>(Column::Path));
            QV_FUZZ_CHECK(got == expected, "row " + std::to_string(r) + " cell " + std::to_string(c) + ": «" + shown(got)
                                               + "» for «" + shown(expected) + "»");
        }
    }

    // An output that refuses bytes: the writer says so and asks nothing more of it.
    if (refuseFrom >= 0) {
        MemoryOutput refusing;
        refusing.refuseFrom = refuseFrom;
        const bool ok = HtmlReport::write(criteria, rows.count(), rows, refusing);
        QV_FUZZ_CHECK(ok == (refusing.calls <= refuseFrom), "a refused write was not reported");
        QV_FUZZ_CHECK(refusing.calls <= refuseFrom + 1, "the writer went on after a refused write");
    }
    return 0;
}
