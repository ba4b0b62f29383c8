#include "crypto/field25519.h"

namespace tessan::crypto::f25519 {

void ToBytes(uint8_t out[32], const Fe& a) {
    uint64_t t[5] = {a.v[0], a.v[1], a.v[2], a.v[3], a.v[4]};
    // Two carry rounds: t1..t4 below 2^51, t0 below 2^51 + 19, so the value is below 2p.
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 4; ++i) {
            t[i + 1] += t[i] >> 51;
            t[i] &= kMask51;
        }
        t[0] += 19 * (t[4] >> 51);
        t[4] &= kMask51;
    }
    // q = 1 exactly when value >= p, i.e. when value + 19 reaches 2^255; then value - p is
    // value + 19 with bit 255 dropped.
    uint64_t q = (t[0] + 19) >> 51;
    for (int i = 1; i < 5; ++i)
        q = (t[i] + q) >> 51;
    t[0] += 19 * q;
    for (int i = 0; i < 4; ++i) {
        t[i + 1] += t[i] >> 51;
        t[i] &= kMask51;
    }
    t[4] &= kMask51;
    const uint64_t words[4] = {t[0] | (t[1] << 51), (t[1] >> 13) | (t[2] << 38),
                               (t[2] >> 26) | (t[3] << 25), (t[3] >> 39) | (t[4] << 12)};
    for (int i = 0; i < 4; ++i)
        StoreLe64(out + 8 * i, words[i]);
}

Fe FromBytes(const uint8_t in[32]) {
    const uint64_t w0 = LoadLe64(in), w1 = LoadLe64(in + 8), w2 = LoadLe64(in + 16),
                   w3 = LoadLe64(in + 24);
    return Fe{{w0 & kMask51, ((w0 >> 51) | (w1 << 13)) & kMask51,
               ((w1 >> 38) | (w2 << 26)) & kMask51, ((w2 >> 25) | (w3 << 39)) & kMask51,
               (w3 >> 12) & kMask51}};
}

namespace {

// z^(2^250 - 1), and z^11 on the side: the common prefix of both exponent chains.
Fe Pow2To250Minus1(const Fe& z, Fe& z11) {
    const Fe z2 = Square(z);
    const Fe z9 = Mul(SquareTimes(z2, 2), z);
    z11 = Mul(z9, z2);
    const Fe z5 = Mul(Square(z11), z9);  // 2^5 - 1
    const Fe z10 = Mul(SquareTimes(z5, 5), z5);
    const Fe z20 = Mul(SquareTimes(z10, 10), z10);
    const Fe z40 = Mul(SquareTimes(z20, 20), z20);
    const Fe z50 = Mul(SquareTimes(z40, 10), z10);
    const Fe z100 = Mul(SquareTimes(z50, 50), z50);
    const Fe z200 = Mul(SquareTimes(z100, 100), z100);
    return Mul(SquareTimes(z200, 50), z50);
}

}  // namespace

Fe Invert(const Fe& a) {
    Fe z11;
    const Fe z250 = Pow2To250Minus1(a, z11);
    return Mul(SquareTimes(z250, 5), z11);  // 2^255 - 32 + 11 = p - 2
}

Fe PowP58(const Fe& a) {
    Fe z11;
    const Fe z250 = Pow2To250Minus1(a, z11);
    return Mul(SquareTimes(z250, 2), a);  // 2^252 - 4 + 1 = (p - 5) / 8
}

bool IsZero(const Fe& a) {
    uint8_t bytes[32];
    ToBytes(bytes, a);
    uint8_t any = 0;
    for (uint8_t b : bytes)
        any |= b;
    return any == 0;
}

bool IsNegative(const Fe& a) {
    uint8_t bytes[32];
    ToBytes(bytes, a);
    return bytes[0] & 1;
}

bool Equal(const Fe& a, const Fe& b) {
    uint8_t x[32], y[32];
    ToBytes(x, a);
    ToBytes(y, b);
    return ConstantTimeEqual(x, y, 32);
}

}  // namespace tessan::crypto::f25519
