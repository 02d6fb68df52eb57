// The search's walk down the network: workgroups, computers and shares whose names
// fit the name patterns become rows, and every share reached is searched by the
// folder walk.
#pragma once

#include "network/NetworkEnumerator.h"
#include "search/SearchRunner.h"

#include <memory>
#include <string>
#include <vector>

namespace qv {

class FileSystem;
class FileTypeInfo;
class FolderWalk;
class SearchSink;
class StopRequest;

class NetworkWalk final : public NetworkSearch {
public:
    struct Services {
        NetworkEnumerator& enumerator;
        FileSystem& shareFiles; // "\\HOST\share\..." paths
        FileTypeInfo& fileTypes;
        SearchSink& sink;
        StopRequest& stop;
    };

    explicit NetworkWalk(Services services);
    ~NetworkWalk() override;

    // Starts the step of the target's level with the look-in path.
    bool walk(const SearchCriteria& criteria, const SearchTarget& target, SearchState& state) override;

private:
    enum class RowKind { Workgroup, Computer, Printer, Share };

    bool entireNetwork();
    bool descend(const EnumContainer& container);
    bool workgroupStep(const std::string& name);
    bool computerStep(const std::string& name);
    bool shareStep(const std::string& path);
    void nameTest(const std::string& name, RowKind kind);
    void addRow(const std::string& upperName, RowKind kind, std::size_t partIndex);

    Services m_services;
    const SearchCriteria* m_criteria = nullptr;
    SearchState* m_state = nullptr;
    std::unique_ptr<FolderWalk> m_folderWalk;
    std::vector<std::string> m_nameTests; // per name part: "*" + pattern less its "*"s + "*"
    int m_depth = -1;                     // of the entire-network walk's batches
};

} // namespace qv
