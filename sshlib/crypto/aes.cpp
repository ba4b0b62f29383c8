#include "crypto/aes.h"

#include <array>
#include <cassert>
#include <cstdlib>
#include <cstring>

#include "crypto/bytes.h"
#include "crypto/cpu_features.h"

namespace tessan::crypto {
namespace {

constexpr uint8_t Xtime(uint8_t x) {
    return static_cast<uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1b : 0));
}

constexpr uint8_t GfMul(uint8_t a, uint8_t b) {
    uint8_t result = 0;
    while (b != 0) {
        if (b & 1) result ^= a;
        a = Xtime(a);
        b >>= 1;
    }
    return result;
}

struct Tables {
    uint8_t sbox[256];
    uint8_t inverseSbox[256];
    uint32_t te[4][256];
    uint32_t td[4][256];
};

// The S-box is the multiplicative inverse in GF(2^8) followed by the affine map of FIPS 197 5.1.1;
// the T-tables fold SubBytes and MixColumns (or their inverses) into one look-up per byte.
// Inverses come from powers of the generator 3: x^-1 = 3^(255 - log3(x)).
constexpr Tables MakeTables() {
    Tables t{};
    uint8_t power[256] = {};
    uint8_t logarithm[256] = {};
    uint8_t value = 1;
    for (int i = 0; i < 255; ++i) {
        power[i] = value;
        logarithm[value] = static_cast<uint8_t>(i);
        value = static_cast<uint8_t>(value ^ Xtime(value));  // times 3
    }
    for (int x = 0; x < 256; ++x) {
        const uint8_t inverse = x == 0 ? 0 : power[(255 - logarithm[x]) % 255];
        uint8_t s = inverse;
        for (int shift = 1; shift <= 4; ++shift) {
            s ^= static_cast<uint8_t>((inverse << shift) | (inverse >> (8 - shift)));
        }
        s ^= 0x63;
        t.sbox[x] = s;
        t.inverseSbox[s] = static_cast<uint8_t>(x);
    }
    for (int x = 0; x < 256; ++x) {
        const uint8_t s = t.sbox[x];
        const uint32_t e =
            (uint32_t{GfMul(s, 2)} << 24) | (uint32_t{s} << 16) | (uint32_t{s} << 8) | GfMul(s, 3);
        const uint8_t i = t.inverseSbox[x];
        const uint32_t d = (uint32_t{GfMul(i, 14)} << 24) | (uint32_t{GfMul(i, 9)} << 16) |
                           (uint32_t{GfMul(i, 13)} << 8) | GfMul(i, 11);
        for (int r = 0; r < 4; ++r) {
            t.te[r][x] = r == 0 ? e : (e >> (8 * r)) | (e << (32 - 8 * r));
            t.td[r][x] = r == 0 ? d : (d >> (8 * r)) | (d << (32 - 8 * r));
        }
    }
    return t;
}

constexpr Tables kTables = MakeTables();

inline uint32_t SubWord(uint32_t w) {
    return (uint32_t{kTables.sbox[w >> 24]} << 24) |
           (uint32_t{kTables.sbox[(w >> 16) & 0xff]} << 16) |
           (uint32_t{kTables.sbox[(w >> 8) & 0xff]} << 8) | kTables.sbox[w & 0xff];
}

inline uint32_t InverseMixColumn(uint32_t w) {
    // td folds the inverse S-box in, so the S-box goes first to cancel it.
    return kTables.td[0][kTables.sbox[w >> 24]] ^ kTables.td[1][kTables.sbox[(w >> 16) & 0xff]] ^
           kTables.td[2][kTables.sbox[(w >> 8) & 0xff]] ^ kTables.td[3][kTables.sbox[w & 0xff]];
}

void EncryptPortable(const uint32_t* rk, int rounds, const uint8_t* in, uint8_t* out) {
    const auto& te = kTables.te;
    uint32_t s0 = LoadBe32(in) ^ rk[0];
    uint32_t s1 = LoadBe32(in + 4) ^ rk[1];
    uint32_t s2 = LoadBe32(in + 8) ^ rk[2];
    uint32_t s3 = LoadBe32(in + 12) ^ rk[3];
    for (int round = 1; round < rounds; ++round) {
        rk += 4;
        const uint32_t t0 = te[0][s0 >> 24] ^ te[1][(s1 >> 16) & 0xff] ^ te[2][(s2 >> 8) & 0xff] ^
                            te[3][s3 & 0xff] ^ rk[0];
        const uint32_t t1 = te[0][s1 >> 24] ^ te[1][(s2 >> 16) & 0xff] ^ te[2][(s3 >> 8) & 0xff] ^
                            te[3][s0 & 0xff] ^ rk[1];
        const uint32_t t2 = te[0][s2 >> 24] ^ te[1][(s3 >> 16) & 0xff] ^ te[2][(s0 >> 8) & 0xff] ^
                            te[3][s1 & 0xff] ^ rk[2];
        const uint32_t t3 = te[0][s3 >> 24] ^ te[1][(s0 >> 16) & 0xff] ^ te[2][(s1 >> 8) & 0xff] ^
                            te[3][s2 & 0xff] ^ rk[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    rk += 4;
    const uint8_t* s = kTables.sbox;
    auto last = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
        return (uint32_t{s[a >> 24]} << 24) | (uint32_t{s[(b >> 16) & 0xff]} << 16) |
               (uint32_t{s[(c >> 8) & 0xff]} << 8) | s[d & 0xff];
    };
    StoreBe32(out, last(s0, s1, s2, s3) ^ rk[0]);
    StoreBe32(out + 4, last(s1, s2, s3, s0) ^ rk[1]);
    StoreBe32(out + 8, last(s2, s3, s0, s1) ^ rk[2]);
    StoreBe32(out + 12, last(s3, s0, s1, s2) ^ rk[3]);
}

void DecryptPortable(const uint32_t* rk, int rounds, const uint8_t* in, uint8_t* out) {
    const auto& td = kTables.td;
    uint32_t s0 = LoadBe32(in) ^ rk[0];
    uint32_t s1 = LoadBe32(in + 4) ^ rk[1];
    uint32_t s2 = LoadBe32(in + 8) ^ rk[2];
    uint32_t s3 = LoadBe32(in + 12) ^ rk[3];
    for (int round = 1; round < rounds; ++round) {
        rk += 4;
        const uint32_t t0 = td[0][s0 >> 24] ^ td[1][(s3 >> 16) & 0xff] ^ td[2][(s2 >> 8) & 0xff] ^
                            td[3][s1 & 0xff] ^ rk[0];
        const uint32_t t1 = td[0][s1 >> 24] ^ td[1][(s0 >> 16) & 0xff] ^ td[2][(s3 >> 8) & 0xff] ^
                            td[3][s2 & 0xff] ^ rk[1];
        const uint32_t t2 = td[0][s2 >> 24] ^ td[1][(s1 >> 16) & 0xff] ^ td[2][(s0 >> 8) & 0xff] ^
                            td[3][s3 & 0xff] ^ rk[2];
        const uint32_t t3 = td[0][s3 >> 24] ^ td[1][(s2 >> 16) & 0xff] ^ td[2][(s1 >> 8) & 0xff] ^
                            td[3][s0 & 0xff] ^ rk[3];
        s0 = t0;
        s1 = t1;
        s2 = t2;
        s3 = t3;
    }
    rk += 4;
    const uint8_t* s = kTables.inverseSbox;
    auto last = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
        return (uint32_t{s[a >> 24]} << 24) | (uint32_t{s[(b >> 16) & 0xff]} << 16) |
               (uint32_t{s[(c >> 8) & 0xff]} << 8) | s[d & 0xff];
    };
    StoreBe32(out, last(s0, s3, s2, s1) ^ rk[0]);
    StoreBe32(out + 4, last(s1, s0, s3, s2) ^ rk[1]);
    StoreBe32(out + 8, last(s2, s1, s0, s3) ^ rk[2]);
    StoreBe32(out + 12, last(s3, s2, s1, s0) ^ rk[3]);
}

inline void IncrementCounter(uint8_t counter[16]) {
    // One 128-bit big-endian integer: carry from the last byte towards the first, wrap at the top.
    for (int i = 15; i >= 0; --i) {
        if (++counter[i] != 0) break;
    }
}

}  // namespace

Aes::~Aes() {
    SecureWipe(this, sizeof(*this));
}

void Aes::SetKey(const uint8_t* key, size_t length) {
    // Any other length would run the schedule past its arrays: stop rather than corrupt memory.
    if (length != 16 && length != 24 && length != 32) std::abort();
    const int nk = static_cast<int>(length / 4);
    rounds_ = nk + 6;
    const int total = 4 * (rounds_ + 1);
    uint32_t* w = encryptKeys_;
    for (int i = 0; i < nk; ++i)
        w[i] = LoadBe32(key + 4 * i);
    uint8_t rcon = 1;
    for (int i = nk; i < total; ++i) {
        uint32_t temp = w[i - 1];
        if (i % nk == 0) {
            temp = SubWord((temp << 8) | (temp >> 24)) ^ (uint32_t{rcon} << 24);
            rcon = Xtime(rcon);
        } else if (nk > 6 && i % nk == 4) {
            temp = SubWord(temp);
        }
        w[i] = w[i - nk] ^ temp;
    }
    // Equivalent inverse cipher: round keys in reverse order, InvMixColumns on the inner ones.
    for (int round = 0; round <= rounds_; ++round) {
        for (int j = 0; j < 4; ++j) {
            const uint32_t word = w[4 * (rounds_ - round) + j];
            decryptKeys_[4 * round + j] =
                (round == 0 || round == rounds_) ? word : InverseMixColumn(word);
        }
    }
    for (int i = 0; i < total; ++i) {
        StoreBe32(niEncryptKeys_ + 4 * i, encryptKeys_[i]);
        StoreBe32(niDecryptKeys_ + 4 * i, decryptKeys_[i]);
    }
    aesNi_ = UseAesNi();
}

void Aes::EncryptBlock(const uint8_t in[16], uint8_t out[16]) const {
    if (aesNi_) {
        AesNiEncryptBlock(niEncryptKeys_, rounds_, in, out);
    } else {
        EncryptPortable(encryptKeys_, rounds_, in, out);
    }
}

void Aes::DecryptBlock(const uint8_t in[16], uint8_t out[16]) const {
    if (aesNi_) {
        AesNiDecryptBlock(niDecryptKeys_, rounds_, in, out);
    } else {
        DecryptPortable(decryptKeys_, rounds_, in, out);
    }
}

void Aes::EncryptCbc(uint8_t* data, size_t length, uint8_t iv[16]) const {
    assert(length % 16 == 0);
    if (aesNi_) {
        AesNiEncryptCbc(niEncryptKeys_, rounds_, data, length / 16, iv);
        return;
    }
    for (size_t offset = 0; offset < length; offset += 16) {
        uint8_t* block = data + offset;
        for (int i = 0; i < 16; ++i)
            block[i] ^= iv[i];
        EncryptPortable(encryptKeys_, rounds_, block, block);
        std::memcpy(iv, block, 16);
    }
}

void Aes::DecryptCbc(uint8_t* data, size_t length, uint8_t iv[16]) const {
    assert(length % 16 == 0);
    if (aesNi_) {
        AesNiDecryptCbc(niDecryptKeys_, rounds_, data, length / 16, iv);
        return;
    }
    uint8_t cipherText[16];
    for (size_t offset = 0; offset < length; offset += 16) {
        uint8_t* block = data + offset;
        std::memcpy(cipherText, block, 16);
        DecryptPortable(decryptKeys_, rounds_, block, block);
        for (int i = 0; i < 16; ++i)
            block[i] ^= iv[i];
        std::memcpy(iv, cipherText, 16);
    }
}

void Aes::CryptCtr(uint8_t* data, size_t length, uint8_t counter[16]) const {
    if (aesNi_) {
        AesNiCtr(niEncryptKeys_, rounds_, data, length, counter);
        return;
    }
    uint8_t keystream[16];
    for (size_t offset = 0; offset < length; offset += 16) {
        EncryptPortable(encryptKeys_, rounds_, counter, keystream);
        const size_t n = length - offset < 16 ? length - offset : 16;
        for (size_t i = 0; i < n; ++i)
            data[offset + i] ^= keystream[i];
        IncrementCounter(counter);
    }
    SecureWipe(keystream, sizeof(keystream));
}

}  // namespace tessan::crypto
