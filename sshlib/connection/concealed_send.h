// The length-concealing send of packets that carry a password: the packet is followed, in the
// same write, by an ignore message whose size makes the burst about 256 bytes plus a block
// whatever the password's length, so an observer of the encrypted stream cannot count the
// password's characters.
#pragma once

#include <cstddef>
#include <functional>

#include "sshlib/transport/packet.h"
#include "sshlib/transport/ssh_transport.h"

namespace tessan::connection {

using RandomSource = std::function<void(uint8_t* out, size_t length)>;

// Length of the ignore string for a batch of `deferred` bytes with cipher block `block`:
// 256 - deferred + block - 1, rounded down to a multiple of the block, minus `compressionOverhead`;
// 0 when that is not positive.
size_t ConcealmentLength(size_t deferred, size_t block, size_t compressionOverhead);

// Marks the packet secret (its buffer is wiped once framed), defers it, adds the ignore message
// of random bytes and sends the batch as one write.
void SendConcealed(transport::Transport& transport, transport::OutgoingPacket&& packet,
                   const RandomSource& random);

}  // namespace tessan::connection
