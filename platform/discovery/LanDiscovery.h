// One bounded round of LAN discovery: WS-Discovery, DNS-SD (one-shot mDNS) and a
// NetBIOS node-status sweep of the local IPv4 subnets, run side by side.
#pragma once

#include "platform/discovery/DiscoveredHost.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace qv {

struct DiscoveryOptions {
    int timeoutMs = 3000; // the whole round, metadata exchanges included
    bool wsDiscovery = true;
    bool dnsSd = true;
    bool netbiosSweep = true;
};

class LanDiscovery final {
public:
    using HostFound = std::function<void(const DiscoveredHost&)>;

    // Runs one round on the calling thread (any thread; no Qt event loop and no
    // QCoreApplication needed): sends every enabled source's queries, gathers answers
    // until the time is up or *cancel turns true (looked at least every 50 ms), and
    // returns every host found, each (source, name, address) once. onHost, when set,
    // is called on this thread for each new host as it is found. Nothing is sent
    // when enabledByEnvironment() is false.
    static std::vector<DiscoveredHost> run(const DiscoveryOptions& options, const HostFound& onHost = {},
                                           const std::atomic<bool>* cancel = nullptr);

    // False when the environment says QV_DISCOVERY=0 (tests outside the test LAN).
    static bool enabledByEnvironment();

    // True when the address (IPv4 or IPv6 text) lies in a subnet of one of this
    // machine's interfaces now: an address remembered from an earlier run is used only
    // then, as discovery's own answers are.
    static bool isOnLocalSubnet(const std::string& address);
};

} // namespace qv
