// WS-Discovery (2005/04, SOAP 1.2 over UDP) messages and the device metadata that
// names a computer: builders for Probe, Resolve and the WS-Transfer Get, and
// namespace-aware parsers for the replies, which refuse any document with a DTD or an
// entity reference and take a document whole or not at all.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

struct WsdMatch {
    std::string endpoint;            // the EndpointReference's Address ("urn:uuid:...")
    std::vector<std::string> xaddrs; // transport addresses, as listed
};

struct WsdReply {
    enum class Kind { ProbeMatches, ResolveMatches };
    Kind kind = Kind::ProbeMatches;
    std::string relatesTo; // the MessageID of the Probe or Resolve answered
    std::vector<WsdMatch> matches;
};

struct WsdComputer {
    std::string name;
    std::string workgroup; // workgroup or domain; empty when not given
    bool isDomain = false;
};

class WsdMessage final {
public:
    static constexpr std::uint16_t kPort = 3702;
    static constexpr const char* kIpv4Group = "239.255.255.250";
    static constexpr const char* kIpv6Group = "ff02::c";
    static constexpr std::size_t kMaxDocumentBytes = 65536;
    static constexpr const char* kContentType = "application/soap+xml; charset=utf-8";

    // A fresh "urn:uuid:..." message identifier.
    static std::string newMessageId();

    static std::string buildProbe(std::string_view messageId);
    static std::string buildResolve(std::string_view messageId, std::string_view endpoint);
    static std::string buildGet(std::string_view messageId, std::string_view endpoint);

    static std::optional<WsdReply> parseReply(std::string_view xml);

    // The pub:Computer of a Get response, read by parseComputer.
    static std::optional<WsdComputer> parseMetadata(std::string_view xml);

    // "NAME/Workgroup:WG", "NAME/Domain:DOM" or "NAME" (surrounding blanks ignored);
    // nullopt for any other shape or a name or workgroup that breaks the name rules.
    static std::optional<WsdComputer> parseComputer(std::string_view text);
};

} // namespace qv
