#include "crypto/fingerprint.h"

#include <cstdio>

#include "crypto/bytes.h"
#include "crypto/md5.h"

namespace tessan::crypto {

std::string PublicKeyFingerprint(std::string_view name, size_t bits,
                                 std::span<const BigNum* const> numbers) {
    Md5 md5;
    uint8_t length[4];
    StoreBe32(length, static_cast<uint32_t>(name.size()));
    md5.Update(length, 4);
    md5.Update(reinterpret_cast<const uint8_t*>(name.data()), name.size());
    for (const BigNum* number : numbers) {
        const size_t bytes = (number->BitCount() + 8) / 8;
        StoreBe32(length, static_cast<uint32_t>(bytes));
        md5.Update(length, 4);
        for (size_t i = bytes; i-- > 0;) {
            const uint8_t byte = number->Byte(i);
            md5.Update(&byte, 1);
        }
    }
    const Md5::Digest digest = md5.Finish();

    std::string text(name);
    text += ' ';
    text += std::to_string(bits);
    text += ' ';
    for (size_t i = 0; i < digest.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof(hex), "%s%02x", i == 0 ? "" : ":", digest[i]);
        text += hex;
    }
    return text;
}

}  // namespace tessan::crypto
