// NetBIOS name service node-status messages (RFC 1002 §4.2.17, §4.2.18): the request
// for the names a node holds, the parse of its answer, and the choice of computer name
// and workgroup from that list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

struct NbnsName {
    std::string name;        // the 15 name bytes, trailing blanks removed
    std::uint8_t suffix = 0; // the 16th byte: 0x00 workstation / workgroup, 0x20 file server...
    std::uint16_t flags = 0; // NAME_FLAGS as sent

    bool isGroup() const { return (flags & 0x8000) != 0; }
    // Names being released or in conflict are not what the node is called.
    bool isUsable() const { return (flags & 0x1800) == 0; }
};

struct NbnsNodeStatus {
    std::uint16_t transactionId = 0;
    std::vector<NbnsName> names;
};

struct NbnsIdentity {
    std::string computer;
    std::string workgroup; // empty when the node holds no group name of suffix 0x00
};

class NbnsMessage final {
public:
    static constexpr std::uint16_t kPort = 137;
    static constexpr std::uint16_t kTypeNbstat = 0x21;

    // A unicast NBSTAT query for the wildcard name "*" (padded with zeros).
    static std::string buildNodeStatusRequest(std::uint16_t transactionId);

    // A positive node-status answer, whole, or nullopt.
    static std::optional<NbnsNodeStatus> parseNodeStatusResponse(std::string_view message);

    // The computer name is the first usable unique name of suffix 0x00 (else 0x20),
    // the workgroup the first usable group name of suffix 0x00. nullopt when there is
    // no computer name or a chosen name breaks the name rules.
    static std::optional<NbnsIdentity> identify(const NbnsNodeStatus& status);
};

} // namespace qv
