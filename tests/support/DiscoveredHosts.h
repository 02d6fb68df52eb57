// A discovered host in one line, for the tests of the directory and the cache.
#pragma once

#include "platform/discovery/DiscoveredHost.h"

#include <string>

namespace qv::test {

inline DiscoveredHost discovered(std::string name, std::string workgroup, std::string address,
                                 DiscoverySource source)
{
    DiscoveredHost h;
    h.name = std::move(name);
    h.workgroup = std::move(workgroup);
    h.address = std::move(address);
    h.source = source;
    return h;
}

} // namespace qv::test
