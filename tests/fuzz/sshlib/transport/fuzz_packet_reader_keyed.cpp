// The SSH-2 packet reader with keys: payloads from the input are framed by the builder with a
// cipher, MAC and compression chosen by the input (the original framing, encrypt-then-MAC or an
// authenticated cipher), one bit of the stream may be flipped, and the reader must return
// exactly the packets before the damage and then refuse, never crash. One input bit has the
// reader decrypt in place, in bytes it may overwrite.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "crypto/aead.h"
#include "crypto/cipher.h"
#include "crypto/mac.h"
#include "sshlib/transport/packet_builder.h"
#include "sshlib/transport/packet_reader.h"

using namespace tessan;
using transport::PacketBuilder;
using transport::PacketReader;

namespace {

const crypto::CipherDescriptor* const kCiphers[] = {
    &crypto::kAes128Ctr,  &crypto::kAes256Cbc, &crypto::kBlowfishCbc, &crypto::kTripleDesCtr,
    &crypto::kArcfour128, &crypto::kDesCbc,    &crypto::kBlowfishCtr, &crypto::kAes192Ctr};
const crypto::MacDescriptor* const kMacs[] = {&crypto::kHmacSha1, &crypto::kHmacSha1_96,
                                              &crypto::kHmacMd5, &crypto::kHmacSha1BugCompatible};
const crypto::MacDescriptor* const kModernMacs[] = {&crypto::kHmacSha256, &crypto::kHmacSha512,
                                                    &crypto::kHmacSha256Etm,
                                                    &crypto::kHmacSha512Etm, &crypto::kHmacSha1Etm};
const crypto::AeadDescriptor* const kAeads[] = {&crypto::kChaCha20Poly1305, &crypto::kAes128Gcm,
                                                &crypto::kAes256Gcm};

void Key(const crypto::CipherDescriptor* cipher, const crypto::MacDescriptor* mac,
         const crypto::AeadDescriptor* aead, bool compress, PacketBuilder* builder,
         PacketReader* reader) {
    uint8_t key[64], iv[64], macKey[64];
    for (int i = 0; i < 64; ++i) {
        key[i] = static_cast<uint8_t>(i * 3);
        iv[i] = static_cast<uint8_t>(i * 5 + 1);
        macKey[i] = static_cast<uint8_t>(i * 7 + 2);
    }
    if (aead) {
        auto a = aead->CreateContext();
        a->SetKey(key);
        a->SetIv(iv);
        if (builder) {
            builder->SetAeadKeys(std::move(a), aead->blockSize, aead->tagLength,
                                 compress ? std::make_unique<transport::ZlibCompressor>() : nullptr);
        } else {
            reader->SetAeadKeys(std::move(a), aead->blockSize, aead->tagLength,
                                compress ? std::make_unique<transport::ZlibDecompressor>()
                                         : nullptr);
        }
        return;
    }
    auto c = cipher->CreateContext();
    c->SetKey(key);
    c->SetIv(iv);
    auto m = mac->CreateContext();
    m->SetKey(macKey);
    if (builder) {
        builder->SetKeys(std::move(c), cipher->blockSize, cipher->cbc, std::move(m), mac->macLength,
                         compress ? std::make_unique<transport::ZlibCompressor>() : nullptr,
                         mac->encryptThenMac);
    } else {
        reader->SetKeys(std::move(c), cipher->blockSize, std::move(m), mac->macLength,
                        compress ? std::make_unique<transport::ZlibDecompressor>() : nullptr,
                        mac->encryptThenMac);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const crypto::CipherDescriptor* cipher = kCiphers[data[0] % 8];
    const crypto::MacDescriptor* mac = kMacs[(data[0] >> 3) % 4];
    // Bits 3-4 of the fourth byte: the modern MACs, or an authenticated cipher.
    const crypto::AeadDescriptor* aead = nullptr;
    switch ((data[3] >> 3) & 3) {
        case 1:
            mac = kModernMacs[data[0] % 5];
            break;
        case 2:
            aead = kAeads[data[0] % 3];
            break;
        default:
            break;
    }
    bool compress = (data[0] & 0x20) != 0;
    bool raw = (data[0] & 0x40) != 0;
    size_t flip = (size_t{data[1]} << 8 | data[2]) * 8 + (data[3] & 7);
    bool damage = (data[3] & 0x80) != 0;
    bool inPlace = (data[3] & 0x20) != 0;
    data += 4;
    size -= 4;

    PacketReader reader;
    Key(cipher, mac, aead, compress, nullptr, &reader);
    auto feed = [&](uint8_t* bytes, size_t length, size_t& consumed) {
        return inPlace ? reader.FeedInPlace(bytes, length, consumed)
                       : reader.Feed(bytes, length, consumed);
    };
    if (raw) {
        // Arbitrary bytes straight into a keyed reader.
        std::vector<uint8_t> bytes(data, data + size);
        size_t offset = 0;
        while (offset < size) {
            size_t consumed = 0;
            auto r = feed(bytes.data() + offset, size - offset, consumed);
            offset += consumed;
            if (r == PacketReader::Result::kNeedMore) break;
        }
        return 0;
    }

    // Payloads: runs of the input separated by zero bytes (each at least the message number).
    PacketBuilder builder([](uint8_t* out, size_t length) {
        for (size_t i = 0; i < length; ++i)
            out[i] = static_cast<uint8_t>(i);
    });
    Key(cipher, mac, aead, compress, &builder, nullptr);
    std::vector<std::vector<uint8_t>> payloads;
    std::vector<size_t> ends;
    std::vector<uint8_t> stream;
    size_t start = 0;
    for (size_t i = 0; i <= size; ++i) {
        if (i == size || data[i] == 0) {
            std::vector<uint8_t> payload = {static_cast<uint8_t>(94)};
            payload.insert(payload.end(), data + start, data + i);
            transport::OutgoingPacket packet(94);
            packet.AddRaw({data + start, i - start});
            builder.Build(packet, stream);
            payloads.push_back(payload);
            ends.push_back(stream.size());
            start = i + 1;
        }
    }
    bool flipped = damage && flip / 8 < stream.size();
    if (flipped) stream[flip / 8] ^= static_cast<uint8_t>(1u << (flip % 8));

    size_t offset = 0, index = 0;
    while (offset < stream.size()) {
        size_t consumed = 0;
        auto r = feed(stream.data() + offset, stream.size() - offset, consumed);
        offset += consumed;
        if (r == PacketReader::Result::kPacket) {
            auto p = reader.Packet().Payload();
            bool intact = !flipped || ends[index] <= flip / 8;
            if (intact && std::vector<uint8_t>(p.begin(), p.end()) != payloads[index]) abort();
            if (!intact) abort();  // a damaged packet never passes the MAC
            ++index;
        } else if (r == PacketReader::Result::kNeedMore) {
            break;
        } else {
            if (!flipped) abort();
            break;
        }
    }
    if (!flipped && index != payloads.size()) abort();
    return 0;
}
