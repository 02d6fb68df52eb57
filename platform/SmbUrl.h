// The program's network names (workgroup "WG", computer "\\HOST", share "\\HOST\share",
// folder "\\HOST\share\a\b") and the smb:// URLs libsmbclient takes, converted both ways.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

class SmbUrl final {
public:
    enum class Level { Network, Workgroup, Computer, Share, Folder };

    // The entire network, "smb://".
    SmbUrl() = default;

    // "" (or "\\") is the entire network, a bare name a workgroup, "\\HOST" a computer,
    // "\\HOST\share" a share and anything deeper a folder or file. One trailing "\"
    // is allowed; an empty component inside the name is not.
    static std::optional<SmbUrl> fromNetworkName(std::string_view name);

    // "smb://", "smb://NAME", "smb://HOST/share/a/b" with percent-encoded components.
    // A URL with one name cannot tell a workgroup from a computer: singleName says which
    // it is. User info ("user@"), a port or options ("?") are refused.
    static std::optional<SmbUrl> fromUrl(std::string_view url, Level singleName = Level::Computer);

    Level level() const { return m_level; }
    // The workgroup or computer name; empty for the entire network.
    const std::string& server() const { return m_server; }
    const std::string& share() const { return m_share; }
    // The folders and file below the share, outermost first.
    const std::vector<std::string>& path() const { return m_path; }

    std::string url() const;
    // The same URL with `host` (a URL server part, e.g. from hostForAddress) in place
    // of the computer's name.
    std::string urlWithHost(std::string_view host) const;
    std::string networkName() const;

    // The URL server part for an IP address: "192.0.2.5" as it is, an IPv6 address in
    // brackets with a scope's "%" written "%25" ("[fe80::1%25eth0]"). Empty when the
    // text is no IP address.
    static std::string hostForAddress(std::string_view address);
    // A computer named by its address, "192.0.2.5" or "[fe80::1]": name resolution is
    // not needed for it.
    static bool isAddressName(std::string_view server);

    // The entry `name` inside this place: a computer in a workgroup, a share on a
    // computer, a file or folder in a share or folder. The entire network has workgroups.
    SmbUrl child(std::string_view name) const;

    // One URL path component: '%', '?', '#', '@', ';', ':', '"', '/', the space, control
    // characters and every byte from 0x7F up become %XX, so that libsmbclient's URL
    // parser neither splits nor drops anything.
    static std::string encodeComponent(std::string_view component);
    // The reverse; nullopt for a '%' that starts no two-digit hexadecimal escape.
    static std::optional<std::string> decodeComponent(std::string_view component);

    // Workgroup and computer names compare without regard to ASCII case, as NetBIOS does.
    static bool sameServerName(std::string_view a, std::string_view b);
    // The name in ASCII lower case: the key under which a server's settings are kept.
    static std::string serverKey(std::string_view name);

    friend bool operator==(const SmbUrl& a, const SmbUrl& b)
    {
        return a.m_level == b.m_level && sameServerName(a.m_server, b.m_server) && a.m_share == b.m_share
            && a.m_path == b.m_path;
    }

private:
    Level m_level = Level::Network;
    std::string m_server;
    std::string m_share;
    std::vector<std::string> m_path;
};

} // namespace qv
