// Refusal of channels the server tries to open towards us. This side forwards no ports and no
// X11 connections, so every CHANNEL_OPEN from the server is answered with OPEN_FAILURE, reason
// 2 (connect failed), and a text chosen by the channel type:
//   "x11"              "X11 forwarding is not enabled"
//   "forwarded-tcpip"  "Remote port is not recognised" (no remote forwarding was set up)
//   anything else      "Channel type not supported"
#pragma once

#include <string_view>

#include "sshlib/connection/channel_messages.h"
#include "sshlib/transport/packet.h"

namespace tessan::connection {

std::string_view RefusalText(const ChannelOpen& open);

// The OPEN_FAILURE answering `open`: recipient = the server's sender id, reason 2, the text,
// language "en".
transport::OutgoingPacket BuildOpenRefusal(const ChannelOpen& open);

}  // namespace tessan::connection
