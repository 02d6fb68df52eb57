// A computer that a discovery source found on the LAN: its name, the workgroup or
// domain the source says it belongs to, and the address the source saw it at.
#pragma once

#include <string>

namespace qv {

// Ordered by how much a source is trusted for a computer's name and workgroup: a lower
// value wins when several sources name the same computer.
enum class DiscoverySource : int {
    BrowseList = 0,   // the NetBIOS browse list (SMB1)
    Typed = 1,        // the user named the computer
    NetbiosSweep = 2, // node-status answer on UDP 137
    WsDiscovery = 3,  // WS-Discovery probe/resolve plus the device's metadata
    DnsSd = 4,        // mDNS answer for _smb._tcp
};

struct DiscoveredHost {
    // The computer name as announced, without backslashes: NetBIOS name (trailing
    // blanks removed), WS-Discovery's computer name, or DNS-SD's host label
    // ("hayashi6" of "hayashi6.local.").
    std::string name;
    // Workgroup or domain; for DNS-SD the service's domain ("local"). Empty when the
    // source does not tell.
    std::string workgroup;
    bool isDomain = false; // WS-Discovery said "Domain:" rather than "Workgroup:"
    // Where the computer answered: IPv4 dotted quad or IPv6 text (no brackets; a
    // link-local address carries its "%scope"). Empty for browse-list entries.
    std::string address;
    DiscoverySource source = DiscoverySource::BrowseList;
};

} // namespace qv
