#include "sshlib/connection/open_refusal.h"

#include "sshlib/connection/connection_constants.h"

namespace tessan::connection {

std::string_view RefusalText(const ChannelOpen& open) {
    if (open.type == "x11") return "X11 forwarding is not enabled";
    // The connected port would be looked up among the remote forwardings of this connection;
    // there never are any.
    if (open.type == "forwarded-tcpip") return "Remote port is not recognised";
    return "Channel type not supported";
}

transport::OutgoingPacket BuildOpenRefusal(const ChannelOpen& open) {
    transport::OutgoingPacket reply(kMsgChannelOpenFailure);
    reply.AddUint32(open.sender)
        .AddUint32(kOpenConnectFailed)
        .AddString(RefusalText(open))
        .AddString(std::string_view("en"));
    return reply;
}

}  // namespace tessan::connection
