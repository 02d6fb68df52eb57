// The rows the network walk makes of workgroup, computer, share and printer names:
// a name fits a name part when it contains the part's pattern less its "*"s.
#pragma once

#include <string>
#include <vector>

namespace qv {

class SearchSink;
struct SearchCriteria;
struct SearchState;

class NetworkRows final {
public:
    enum class Kind { Workgroup, Computer, Printer, Share };

    explicit NetworkRows(const SearchCriteria& criteria);

    // A row for every name part the name fits. `path` is the row's Path cell: nothing
    // for a workgroup, the workgroup for a computer, workgroup and computer for a share.
    void test(const std::string& name, Kind kind, const std::string& path, SearchSink& sink, SearchState& state) const;

private:
    const SearchCriteria& m_criteria;
    std::vector<std::string> m_tests; // per name part: "*" + pattern less its "*"s + "*"
};

} // namespace qv
