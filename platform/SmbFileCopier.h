// Copies one file of a share to a local file through an SMB helper, for the programs
// that only take local files (the print service).
#pragma once

#include <string>

namespace qv {

class SmbClient;

class SmbFileCopier final {
public:
    explicit SmbFileCopier(SmbClient& client) : m_client(client) {}

    // networkName: "\\HOST\share\a\file". Returns 0 or an errno value; a local file
    // that could not be filled whole is removed again.
    int copy(const std::string& networkName, const std::string& localPath);

private:
    SmbClient& m_client;
};

} // namespace qv
