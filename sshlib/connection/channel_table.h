// The channels of one connection, ordered by local id, and the channel record.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "sshlib/connection/byte_queue.h"

namespace tessan::connection {

// Local ids start here, so a number the server confuses with its own small ones stands out.
inline constexpr uint32_t kFirstLocalId = 256;

struct Channel {
    uint32_t remoteId = 0;  // the server's number for the channel
    uint32_t localId = 0;   // ours
    int kind = 0;           // 0: the session channel (the only kind this side opens)
    bool awaitingConfirmation = false;
    bool closeSent = false;
    ByteQueue outgoing;         // accepted from the caller, not yet sent
    uint32_t remoteWindow = 0;  // bytes the server will still accept
    uint32_t remoteMaxPacket = 0;
    uint32_t localWindow = 0;  // bytes we still allow the server to send
    // Bytes the server sent beyond the window since we last offered more (servers that round
    // a packet up to the maximum overshoot by less than one maximum packet).
    uint32_t overrun = 0;
};

class ChannelTable {
public:
    // The smallest id 256 + i such that the channel at position i does not carry it.
    uint32_t NextLocalId() const;
    // Inserts in id order; the id must not be in use.
    Channel& Insert(std::unique_ptr<Channel> channel);
    Channel* Find(uint32_t localId) const;
    // Removes and frees the channel with this id (nothing when there is none).
    void Remove(uint32_t localId);
    bool Empty() const { return channels_.empty(); }
    size_t Size() const { return channels_.size(); }
    const std::vector<std::unique_ptr<Channel>>& Channels() const { return channels_; }

private:
    std::vector<std::unique_ptr<Channel>> channels_;
};

}  // namespace tessan::connection
