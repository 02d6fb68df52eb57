#include "network/NetworkRows.h"

#include "platform/CaseFold.h"
#include "resources/StringTable.h"
#include "results/CellFormat.h"
#include "results/ResultRow.h"
#include "results/SearchSink.h"
#include "search/NamePattern.h"
#include "search/SearchCriteria.h"
#include "search/SearchState.h"

#include <algorithm>

namespace qv {

NetworkRows::NetworkRows(const SearchCriteria& criteria) : m_criteria(criteria)
{
    // "?" stands for any one character, as in the pattern.
    for (const std::string& pattern : criteria.namePatterns) {
        std::string text = pattern;
        text.erase(std::remove(text.begin(), text.end(), '*'), text.end());
        m_tests.push_back("*" + text + "*");
    }
}

void NetworkRows::test(const std::string& name, Kind kind, const std::string& path, SearchSink& sink,
                       SearchState& state) const
{
    const std::string upperName = CaseFold::toUpper(name);
    for (std::size_t part = 0; part < m_tests.size(); ++part) {
        if (!wildcardMatch(m_tests[part], upperName))
            continue;
        ResultRow row;
        row.cell(Column::Name) = CellFormat::displayText(upperName);
        row.cell(Column::Path) = CellFormat::displayText(path);
        switch (kind) {
        case Kind::Workgroup:
            row.image = ImageWorkgroup;
            row.cell(Column::Type) = loadString(IDS_KIND_WORKGROUP);
            break;
        case Kind::Computer:
            row.image = ImageComputer;
            row.cell(Column::Type) = loadString(IDS_KIND_COMPUTER);
            break;
        case Kind::Printer:
        case Kind::Share:
            row.image = kind == Kind::Printer ? ImagePrinter : ImageShare;
            row.cell(Column::Type) = loadString(kind == Kind::Printer ? IDS_KIND_PRINTER : IDS_KIND_SHARE);
            break;
        }
        row.cell(Column::Match) = CellFormat::displayText(m_criteria.nameParts[part]);
        sink.addRow(std::move(row));
        state.foundCount.fetch_add(1, std::memory_order_relaxed);
    }
}

} // namespace qv
