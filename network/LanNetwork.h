// The program's LAN: a network directory fed by discovery, the addresses kept from
// earlier runs, and the SMB clients that reach the computers found. qv and qvsearch
// set their network up through these functions.
#pragma once

#include "platform/DiscoveryCache.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qv {

class NetworkDirectory;
class SmbClient;

namespace LanNetwork {

// How long a cached address is trusted without a discovery round of one's own.
constexpr std::chrono::hours kCachedAddressTrusted{24};

// A directory whose rounds run WS-Discovery, DNS-SD and the NetBIOS sweep (3 s);
// without discovery (QV_DISCOVERY=0) it knows only browse lists and typed computers.
std::shared_ptr<NetworkDirectory> makeDirectory();
// The window's one directory, shared by the tree and every search (made on first use).
std::shared_ptr<NetworkDirectory> sharedDirectory();

// The client reaches the computers the directory knows at their addresses, starts
// with the addresses cached from earlier runs, and asks the directory (a round, at
// most once per session) for a name that does not resolve.
void connect(const std::shared_ptr<NetworkDirectory>& directory, const std::shared_ptr<SmbClient>& client);

// The cached entries that may be used now: seen less than `kCachedAddressTrusted`
// ago and, as every discovery answer, on a subnet this machine is on (`isLocal`), so
// that an address from another network the machine was on is never connected to.
std::vector<DiscoveryCache::Entry> usableCached(const std::vector<DiscoveryCache::Entry>& entries,
                                                const std::function<bool(const std::string&)>& isLocal);

// Keeps what the directory's rounds found (with addresses) in the cache.
void remember(const NetworkDirectory& directory);

} // namespace LanNetwork
} // namespace qv
