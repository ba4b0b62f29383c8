// Readers of the connection-protocol messages the server sends (RFC 4254). Each yields nothing
// when the packet is of another type, a field is missing, or a field runs past the end.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "sshlib/transport/packet.h"

namespace tessan::connection {

struct OpenConfirmation {
    uint32_t recipient = 0;  // our id
    uint32_t sender = 0;     // the server's id
    uint32_t window = 0;
    uint32_t maxPacket = 0;
};
std::optional<OpenConfirmation> ParseOpenConfirmation(const transport::IncomingPacket& packet);

struct WindowAdjust {
    uint32_t recipient = 0;
    uint32_t bytes = 0;
};
std::optional<WindowAdjust> ParseWindowAdjust(const transport::IncomingPacket& packet);

// CHANNEL_DATA (dataType 0) or EXTENDED_DATA (its data type).
struct ChannelData {
    uint32_t recipient = 0;
    uint32_t dataType = 0;
    std::span<const uint8_t> data;
};
std::optional<ChannelData> ParseChannelData(const transport::IncomingPacket& packet);

// CHANNEL_EOF, CHANNEL_CLOSE, CHANNEL_SUCCESS, CHANNEL_FAILURE: the recipient id only.
std::optional<uint32_t> ParseChannelRecipient(const transport::IncomingPacket& packet);

// CHANNEL_REQUEST: the head, and a reader positioned at the request-specific fields.
struct ChannelRequest {
    uint32_t recipient = 0;
    std::string_view type;
    bool wantReply = false;
};
std::optional<ChannelRequest> ParseChannelRequest(const transport::IncomingPacket& packet,
                                                  transport::IncomingPacket& rest);

// "exit-status": the code.
std::optional<uint32_t> ParseExitStatus(transport::IncomingPacket rest);

// "exit-signal": the exit code it stands for, 128 plus a signal number. Two layouts exist: the
// standard one (string name, boolean core dumped, string message, string language) and an
// older numeric one (uint32 number, boolean, string, string); the one that parses exactly to the
// end of the packet decides (a zero first field counts as the standard layout with an empty
// name). Names give "ABRT" 22, "FPE" 8, "ILL" 4, "INT" 2, "SEGV" 11, "TERM" 15, any other 0.
// When both or neither layout fits, 128.
uint32_t ExitCodeFromSignal(transport::IncomingPacket rest);

// The signal number a standard-layout name stands for (0 for names not listed above).
uint32_t SignalNumberForName(std::string_view name);

struct GlobalRequest {
    std::string_view name;
    bool wantReply = false;
};
std::optional<GlobalRequest> ParseGlobalRequest(const transport::IncomingPacket& packet);

// CHANNEL_OPEN from the server: type, its id, window and maximum packet. For "x11" and
// "forwarded-tcpip" the addresses and ports that follow are read as well when present
// (`complete` tells whether they were all there).
struct ChannelOpen {
    std::string_view type;
    uint32_t sender = 0;
    uint32_t window = 0;
    uint32_t maxPacket = 0;
    std::string_view address;        // x11: originator; forwarded-tcpip: connected address
    uint32_t port = 0;               // x11: originator port; forwarded-tcpip: connected port
    std::string_view originAddress;  // forwarded-tcpip
    uint32_t originPort = 0;         // forwarded-tcpip
    bool complete = false;
};
std::optional<ChannelOpen> ParseChannelOpen(const transport::IncomingPacket& packet);

}  // namespace tessan::connection
