// Servers that send more than they may: the session channel lets through at most one maximum
// packet beyond the window it offered and then cuts the server off, so a caller that does not
// read holds at most the window and one packet; a server that keeps to the window but sends a
// gigabyte as fast as the client takes it leaves the heap where it was. The heap in use is
// measured with the allocator's own count (mallinfo2) around the flood.
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>

#include "connection_rig.h"
#include "sshlib/connection/channel_messages.h"
#include "sshlib/connection/channels.h"
#include "sshlib/transport/ssh_constants.h"

namespace tessan::connection::test {
namespace {

size_t HeapInUse() {
    return mallinfo2().uordblks;
}

Bytes DataPacket(uint32_t channel, size_t length) {
    return Payload(kMsgChannelData).U32(channel).Str(std::string(length, 'x'));
}

// `total` bytes in packets of at most the maximum size.
void SendData(Rig& rig, size_t total) {
    for (size_t sent = 0; sent < total; sent += kSessionMaxPacket)
        rig.Send(DataPacket(rig.localId, std::min<size_t>(kSessionMaxPacket, total - sent)));
}

// The window adjustments among what the client sent since, added up.
uint64_t AdjustmentsSent(Rig& rig) {
    uint64_t total = 0;
    for (const Bytes& packet : rig.Sent()) {
        Fields f(packet);
        if (f.Type() != kMsgChannelWindowAdjust) continue;
        f.U32();
        total += f.U32();
    }
    return total;
}

TEST(HostileServer, OneMaximumPacketBeyondTheWindowIsToleratedAndNoMore) {
    Rig rig;
    rig.Running();
    rig.backlog = kSessionWindow;  // the caller reads nothing: no window is offered again
    SendData(rig, kSessionWindow - 100);
    // Rounded up: the last packet overshoots the 100 bytes left by less than a maximum packet.
    rig.Send(DataPacket(rig.localId, kSessionMaxPacket));
    rig.Send(DataPacket(rig.localId, 100));
    EXPECT_TRUE(rig.connection->Alive());
    EXPECT_EQ(rig.data.size(), size_t{kSessionWindow} + kSessionMaxPacket);
    // One byte more and the server is cut off; the byte goes nowhere.
    rig.Send(DataPacket(rig.localId, 1));
    EXPECT_FALSE(rig.connection->Alive());
    EXPECT_EQ(rig.failure.error, kErrProtocol);
    EXPECT_EQ(rig.data.size(), size_t{kSessionWindow} + kSessionMaxPacket);
    Fields disconnect(rig.Sent().back());
    EXPECT_EQ(disconnect.Type(), transport::kMsgDisconnect);
    EXPECT_EQ(disconnect.U32(), transport::kDisconnectProtocolError);
}

TEST(HostileServer, TheToleranceStartsAgainWithEveryWindowOffered) {
    Rig rig;
    rig.Running();
    // A server that rounds up at the end of every window is never cut off.
    for (int round = 0; round < 20; ++round) {
        rig.backlog = kSessionWindow;
        SendData(rig, kSessionWindow);
        rig.Send(DataPacket(rig.localId, kSessionMaxPacket));
        rig.backlog = 0;
        rig.data.clear();
        rig.connection->DataTaken();
        ASSERT_TRUE(rig.connection->Alive()) << round;
    }
}

TEST(HostileServer, AFloodThatIgnoresTheWindowIsCutOffPromptly) {
    Rig rig;
    rig.Running();
    rig.backlog = kSessionWindow;
    // Room for what the caller would be handed, so the heap shows what the client holds.
    rig.data.reserve(kSessionWindow + kSessionMaxPacket);
    const size_t heapBefore = HeapInUse();
    size_t peak = heapBefore;
    uint64_t sent = 0;
    // Up to a gigabyte, stopping as soon as the client has hung up.
    while (sent < (uint64_t{1} << 30) && rig.connection->Alive()) {
        rig.Send(DataPacket(rig.localId, kSessionMaxPacket));
        sent += kSessionMaxPacket;
        peak = std::max(peak, HeapInUse());
    }
    EXPECT_FALSE(rig.connection->Alive());
    EXPECT_EQ(rig.failure.error, kErrProtocol);
    EXPECT_LE(sent, uint64_t{kSessionWindow} + 2 * kSessionMaxPacket);
    RecordProperty("bytes_sent_before_cut_off", std::to_string(sent));
    EXPECT_LE(rig.data.size(), size_t{kSessionWindow} + kSessionMaxPacket);
    // What the client holds (the undelivered data included) stays within a few windows.
    EXPECT_LT(peak - heapBefore, size_t{1} << 20);
    RecordProperty("heap_growth_bytes", std::to_string(peak - heapBefore));
}

TEST(HostileServer, AGigabyteWithinTheWindowLeavesTheHeapWhereItWas) {
    Rig rig;
    rig.Running();
    uint64_t window = kSessionWindow;  // what the client has allowed, as this server counts it
    uint64_t sent = 0;
    // A gigabyte, short of the gibibyte after which the client would ask for new keys (an
    // eighth of it under AddressSanitizer, whose unoptimised ciphers would take minutes).
#if defined(__SANITIZE_ADDRESS__)
    const uint64_t total = 125 * 1000 * 1000;
#else
    const uint64_t total = 1000 * 1000 * 1000;
#endif
    rig.data.reserve(kSessionWindow / 2 + kSessionMaxPacket);
    const size_t heapBefore = HeapInUse();
    size_t peak = heapBefore;
    while (sent < total && rig.connection->Alive()) {
        const size_t length =
            static_cast<size_t>(std::min<uint64_t>({window, kSessionMaxPacket, total - sent}));
        if (length == 0) {
            // The caller has taken everything: the client offers the window again.
            rig.data.clear();
            rig.connection->DataTaken();
            const uint64_t added = AdjustmentsSent(rig);
            ASSERT_GT(added, 0u) << "the client offered no more window after " << sent;
            window += added;
            continue;
        }
        rig.Send(DataPacket(rig.localId, length));
        window -= length;
        sent += length;
        if (rig.data.size() >= kSessionWindow / 2) {
            rig.data.clear();
            rig.connection->DataTaken();
            window += AdjustmentsSent(rig);
        }
        peak = std::max(peak, HeapInUse());
    }
    EXPECT_TRUE(rig.connection->Alive());
    EXPECT_EQ(sent, total);
    EXPECT_LT(peak - heapBefore, size_t{1} << 20);
    RecordProperty("heap_growth_bytes", std::to_string(peak - heapBefore));
}

}  // namespace
}  // namespace tessan::connection::test
