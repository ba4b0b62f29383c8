#include "sshlib/connection/concealed_send.h"

#include <vector>

#include "sshlib/transport/ssh_constants.h"

namespace tessan::connection {

size_t ConcealmentLength(size_t deferred, size_t block, size_t compressionOverhead) {
    if (block == 0) return 0;
    // Signed arithmetic: a large batch makes the length negative, which means no padding.
    long long length = 256 - static_cast<long long>(deferred) + static_cast<long long>(block) - 1;
    if (length <= 0) return 0;
    length -= length % static_cast<long long>(block);
    length -= static_cast<long long>(compressionOverhead);
    return length > 0 ? static_cast<size_t>(length) : 0;
}

void SendConcealed(transport::Transport& transport, transport::OutgoingPacket&& packet,
                   const RandomSource& random) {
    packet.MarkSecret();
    transport.DeferPacket(std::move(packet));
    size_t length = 0;
    if (transport.OutgoingCipherActive()) {
        // The compressor must pass the ignore message through unchanged, or its size would
        // depend on how well the random bytes compress; the framing that costs is subtracted.
        size_t overhead = transport.DisableCompressionForNextPacket();
        length =
            ConcealmentLength(transport.DeferredLength(), transport.OutgoingBlockSize(), overhead);
    }
    std::vector<uint8_t> filler(length);
    if (length) random(filler.data(), length);
    transport::OutgoingPacket ignore(transport::kMsgIgnore);
    ignore.AddString(filler);
    transport.DeferPacket(std::move(ignore));
    transport.SendDeferred();
}

}  // namespace tessan::connection
