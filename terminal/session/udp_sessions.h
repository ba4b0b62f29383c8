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

// Receives datagrams from every sender on the record's port, and answers the sender of the most
// recent one: lines sent go there, and remote echo returns each datagram to its own sender.
// Before any datagram has arrived there is nobody to answer and writes fail as on a socket
// without a peer.
class UdpServerSession final : public NetworkSession {
public:
    UdpServerSession(SessionServices& services, Tessnet& net, TessnetErrors& errors,
                     InetEventTarget& target);
    void Open() override;
    long Write(std::string_view data) override;

private:
    int Echo(std::string_view piece, const InetAddress& source, unsigned sourcePort) override;
    // Shows an Informational line when the peer answered changes.
    void AfterRead() override;

    InetAddress peer_;
    unsigned peerPort_ = 0;
};

// The Informational line naming the peer a UDP server answers from now on.
std::string UdpAnswerLine(const InetAddress& peer, unsigned port);

// The address a UDP server binds and "connects" to: every interface, and no peer.
inline constexpr std::string_view kAnyAddress = "0.0.0.0";

}  // namespace ostrel
