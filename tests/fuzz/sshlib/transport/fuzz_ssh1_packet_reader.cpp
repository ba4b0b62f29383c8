// The SSH-1 packet reader on arbitrary bytes, without a cipher or with one chosen by the first
// input byte (then the compensation-attack detector runs on every packet): the verdicts do not
// depend on how the stream is split, no packet exceeds the limit, and the field readers stay
// inside each packet whatever it holds.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include "crypto/ssh1_cipher.h"
#include "sshlib/transport/ssh1_packet.h"

using tessan::transport::Ssh1IncomingPacket;
using tessan::transport::Ssh1PacketReader;

namespace {

const tessan::crypto::Ssh1CipherDescriptor* const kCiphers[] = {
    nullptr, &tessan::crypto::kSsh1TripleDes, &tessan::crypto::kSsh1Blowfish,
    &tessan::crypto::kSsh1Des};

struct Outcome {
    std::vector<std::vector<uint8_t>> packets;
    int verdict = 0;  // the result that stopped the stream (0: none)
    bool operator==(const Outcome&) const = default;
};

// Reads every field type in turn until the packet runs out.
void ReadFields(Ssh1IncomingPacket packet) {
    for (int round = 0; round < 64; ++round) {
        uint8_t byte;
        uint32_t number;
        std::string_view text;
        tessan::crypto::BigNum value;
        bool any = false;
        any |= packet.ReadByte(byte);
        any |= packet.ReadString(text);
        any |= packet.ReadBigNum(value);
        any |= packet.ReadUint32(number);
        if (!any) return;
    }
}

Outcome Read(const uint8_t* data, size_t size, size_t piece,
             const tessan::crypto::Ssh1CipherDescriptor* cipher) {
    std::unique_ptr<tessan::crypto::Ssh1CipherContext> context;
    if (cipher) {
        std::array<uint8_t, 32> key{};
        for (size_t i = 0; i < key.size(); ++i)
            key[i] = static_cast<uint8_t>(i * 13 + 5);
        context = cipher->CreateContext();
        context->SetSessionKey(key.data());
    }
    Ssh1PacketReader reader;
    reader.SetCipher(context.get());
    Outcome outcome;
    size_t offset = 0;
    while (offset < size && outcome.verdict == 0) {
        const size_t end = std::min(size, offset + piece);
        while (offset < end) {
            size_t consumed = 0;
            const auto result = reader.Feed(data + offset, end - offset, consumed);
            if (consumed > end - offset) abort();
            offset += consumed;
            if (result == Ssh1PacketReader::Result::kNeedMore) {
                if (offset != end) abort();
                continue;
            }
            if (result != Ssh1PacketReader::Result::kPacket) {
                outcome.verdict = static_cast<int>(result);
                break;
            }
            const auto payload = reader.Packet().Payload();
            if (payload.empty() || payload.size() > tessan::transport::kSsh1MaxPacketLength) {
                abort();
            }
            ReadFields(reader.Packet());
            outcome.packets.emplace_back(payload.begin(), payload.end());
        }
    }
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const auto* cipher = kCiphers[data[0] % 4];
    const size_t piece = 1 + data[1] % 64;
    data += 2;
    size -= 2;
    if (!(Read(data, size, size ? size : 1, cipher) == Read(data, size, piece, cipher))) abort();
    return 0;
}
