// The plain SSH-2 packet reader on arbitrary bytes, fed whole and in pieces of a size taken from
// the input: the packets and verdicts do not depend on the split, and none is larger than the
// limits allow. Decrypting in place (bytes the reader may overwrite) gives the same outcome.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sshlib/transport/packet_reader.h"

using tessan::transport::PacketReader;

namespace {

struct Outcome {
    std::vector<std::vector<uint8_t>> packets;
    int badLengths = 0;
    bool operator==(const Outcome&) const = default;
};

Outcome Read(const uint8_t* input, size_t size, size_t piece, bool inPlace) {
    std::vector<uint8_t> bytes(input, input + size);
    uint8_t* data = bytes.data();
    PacketReader reader;
    Outcome outcome;
    size_t offset = 0;
    while (offset < size) {
        size_t end = piece ? std::min(size, offset + piece) : size;
        while (offset < end) {
            size_t consumed = 0;
            PacketReader::Result r = inPlace
                                         ? reader.FeedInPlace(data + offset, end - offset, consumed)
                                         : reader.Feed(data + offset, end - offset, consumed);
            if (consumed > end - offset) abort();
            offset += consumed;
            if (r == PacketReader::Result::kPacket) {
                auto payload = reader.Packet().Payload();
                if (payload.empty() || payload.size() > PacketReader::kMaxPacketLength) abort();
                outcome.packets.emplace_back(payload.begin(), payload.end());
            } else if (r == PacketReader::Result::kBadLength) {
                ++outcome.badLengths;
            } else if (r != PacketReader::Result::kNeedMore) {
                abort();  // no MAC and no compression: nothing else can go wrong
            } else if (offset != end) {
                abort();
            }
        }
    }
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    size_t piece = 1 + data[0] % 37;
    Outcome whole = Read(data + 1, size - 1, 0, false);
    Outcome pieces = Read(data + 1, size - 1, piece, false);
    Outcome inPlace = Read(data + 1, size - 1, piece, true);
    if (!(whole == pieces) || !(whole == inPlace)) abort();
    return 0;
}
