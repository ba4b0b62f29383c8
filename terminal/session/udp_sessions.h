// The UDP Client and UDP Server sessions. Both are ready as soon as their socket exists; there is
// no connect notification to wait for.
#pragma once

#include "terminal/session/network_session.h"

namespace ostrel {

// Sends to and receives from the record's host and port.
class UdpClientSession final : public NetworkSession {
public:
    UdpClientSession(SessionServices& services, Tessnet& net, TessnetErrors& errors,
                     InetEventTarget& target);
    void Open() override;
};

// Receives datagrams from every sender on the record's port.
class UdpServerSession final : public NetworkSession {
public:
    UdpServerSession(SessionServices& services, Tessnet& net, TessnetErrors& errors,
                     InetEventTarget& target);
    void Open() override;
};

// The address a UDP server binds and "connects" to: every interface, and no peer.
inline constexpr std::string_view kAnyAddress = "0.0.0.0";

}  // namespace ostrel
