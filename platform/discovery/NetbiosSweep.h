// The NetBIOS node-status sweep: one NBSTAT query to UDP 137 of every host address of
// the local IPv4 subnets (paced in bursts), and the computer name and workgroup of
// every node that answers.
#pragma once

#include "platform/discovery/DatagramSocket.h"
#include "platform/discovery/DiscoveryTask.h"
#include "platform/discovery/LocalSubnets.h"

#include <memory>
#include <set>

namespace qv {

class NetbiosSweep final : public DiscoveryTask {
public:
    // 32 queries every 30 ms: a /22 (1,022 addresses) goes out in about a second
    // without a burst that could fill a switch's or the kernel's queues.
    static constexpr std::size_t kBurst = 32;
    static constexpr std::chrono::milliseconds kBurstGap{30};

    // port is the name service's port (137); another value serves loopback tests.
    NetbiosSweep(const LocalSubnets& subnets, HostSink sink, std::uint16_t port = 137);

    bool start(Clock::time_point now) override;
    void watch(std::vector<pollfd>& fds) const override;
    void advance(const std::vector<pollfd>& fds, Clock::time_point now) override;
    Clock::time_point nextDue() const override;

    std::size_t targetCount() const { return m_targets.size(); }
    std::size_t sentCount() const { return m_next; }

private:
    void sendBurst(Clock::time_point now);
    void readAnswers();

    const LocalSubnets& m_subnets;
    HostSink m_sink;
    std::uint16_t m_port;
    std::vector<QHostAddress> m_targets;
    std::set<std::uint32_t> m_targetSet;
    std::set<std::uint32_t> m_answered;
    std::size_t m_next = 0;
    Clock::time_point m_nextBurst;
    std::uint16_t m_transactionId = 0;
    std::string m_request;
    std::unique_ptr<DatagramSocket> m_socket;
};

} // namespace qv
