// The channel handlers on arbitrary server packets, fed as plain packets to a transport whose
// handler table routes them: no crash, data delivered never exceed what came in, the window
// offered never exceeds the session window, and a malformed message ends the connection.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "crypto/bytes.h"
#include "sshlib/connection/channel_messages.h"
#include "sshlib/connection/channels.h"
#include "sshlib/connection/connection_constants.h"
#include "sshlib/connection/open_refusal.h"

using namespace tessan;
using namespace tessan::connection;

namespace {

constexpr uint8_t kTypes[] = {kMsgGlobalRequest,  kMsgChannelOpen,        kMsgChannelWindowAdjust,
                              kMsgChannelData,    kMsgChannelEof,         kMsgChannelClose,
                              kMsgChannelRequest, kMsgChannelExtendedData};

// An unencrypted packet: length, padding length, payload, padding to a multiple of 8.
std::vector<uint8_t> Frame(const std::vector<uint8_t>& payload) {
    size_t padding = 4;
    while ((5 + payload.size() + padding) % 8)
        ++padding;
    std::vector<uint8_t> packet(5);
    crypto::StoreBe32(packet.data(), static_cast<uint32_t>(1 + payload.size() + padding));
    packet[4] = static_cast<uint8_t>(padding);
    packet.insert(packet.end(), payload.begin(), payload.end());
    packet.resize(packet.size() + padding, 0);
    return packet;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    transport::Transport transport(
        {}, {}, [] { return uint64_t{0}; },
        [](uint8_t* out, size_t n) {
            for (size_t i = 0; i < n; ++i)
                out[i] = uint8_t(i);
        });
    const char line[] = "SSH-2.0-Fuzz\r\n";
    transport.Feed(reinterpret_cast<const uint8_t*>(line), sizeof line - 1);
    size_t delivered = 0, received = 0, backlog = 0;
    ChannelHooks hooks;
    hooks.sessionData = [&](std::span<const uint8_t> d) { delivered += d.size(); };
    hooks.backlog = [&] { return backlog; };
    Channels channels(transport, hooks);
    channels.InstallHandlers();
    channels.OpenSession();
    channels.ConfirmSession({256, 9, 1000, 100});

    size_t at = 0;
    while (at + 3 <= size && !transport.IsClosed()) {
        const uint8_t type = kTypes[data[at] % sizeof kTypes];
        backlog = data[at + 1] * 512u;
        const size_t length = std::min<size_t>(data[at + 2], size - at - 3);
        std::vector<uint8_t> payload = {type};
        // Most messages start with the recipient: aim at the session channel half the time.
        if (data[at] & 0x80) payload.insert(payload.end(), {0, 0, 1, 0});
        payload.insert(payload.end(), data + at + 3, data + at + 3 + length);
        at += 3 + length;

        transport::IncomingPacket incoming(payload, 0);
        if (auto m = ParseChannelData(incoming)) received += m->data.size();
        transport::IncomingPacket rest = incoming;
        if (auto m = ParseChannelRequest(incoming, rest)) {
            uint32_t code = ExitCodeFromSignal(rest);
            if (code < 128) abort();
        }
        if (auto m = ParseChannelOpen(incoming)) {
            if (RefusalText(*m).empty()) abort();
            if (BuildOpenRefusal(*m).Payload()[0] != kMsgChannelOpenFailure) abort();
        }

        std::vector<uint8_t> framed = Frame(payload);
        transport.Feed(framed.data(), framed.size());
        if (delivered > received) abort();
        if (Channel* session = channels.Session()) {
            if (session->localWindow > kSessionWindow) abort();
        }
    }
    channels.Write(std::span<const uint8_t>(data, size));
    channels.TrySend();
    return 0;
}
