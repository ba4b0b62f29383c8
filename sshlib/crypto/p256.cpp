#include "crypto/p256.h"

#include "crypto/p256_point.h"

namespace tessan::crypto {

using namespace p256;

namespace {

constexpr int kWindow = 5;
constexpr int kDigits = 52;  // ceil(257 / 5): room for the carry out of the top window

// Signed base-32 digits in -15 .. 16 with scalar = sum digits[i] 32^i, made without branches:
// a window value above 16 becomes value - 32 and carries one into the next window.
void RecodeSigned(int digits[kDigits], const U256& scalar) {
    int carry = 0;
    for (int i = 0; i < kDigits; ++i) {
        const int bit = i * kWindow;
        uint64_t bits = scalar.v[bit / 64] >> (bit % 64);
        if (bit % 64 > 64 - kWindow && bit / 64 < 3)
            bits |= scalar.v[bit / 64 + 1] << (64 - bit % 64);
        const int value = static_cast<int>(bits & 31) + carry;
        carry = (value + 15) >> 5;
        digits[i] = value - (carry << 5);
    }
}

// table[0..15] = 1P .. 16P; returns |digit| P with its sign applied, or infinity for 0, reading
// every entry so that the memory accesses do not depend on the digit.
JacobianPoint Lookup(const JacobianPoint table[16], int digit) {
    const uint64_t negative = static_cast<uint64_t>(digit) >> 63;
    const uint64_t magnitude = (static_cast<uint64_t>(digit) ^ (0 - negative)) + negative;
    JacobianPoint chosen{kField.one, kField.one, U256{}};
    for (uint64_t i = 0; i < 16; ++i) {
        const uint64_t match = ValueBarrier(((i + 1) ^ magnitude) - 1) >> 63;  // 1 when equal
        chosen.x = mont256::Select(match, table[i].x, chosen.x);
        chosen.y = mont256::Select(match, table[i].y, chosen.y);
        chosen.z = mont256::Select(match, table[i].z, chosen.z);
    }
    chosen.y = mont256::Select(negative, Sub(U256{}, chosen.y), chosen.y);
    return chosen;
}

// [scalar]P for 1 <= scalar < n with a fixed sequence of operations and memory accesses: 51
// rounds of five doublings and one addition of a table entry chosen in constant time.
//
// Before the addition of digit j the accumulator holds [32 K]P, K the value of the digits above
// j, and the addition meets equal points only when 32 K = d_j (mod n). Since
// 32 K = (k - sum over i <= j of d_i 32^i) / 32^j, for j >= 1 |32 K| < k / 32 + 17 < n - 16, so
// that would need 32 K = d_j exactly, impossible for 0 < |d_j| <= 16; only the last addition can
// meet it (when k = 2 d_0 mod n) and only that one pays for the doubling. Infinity (leading zero
// digits, zero digits) is handled throughout.
JacobianPoint MultiplySecret(const U256& scalar, const AffinePoint& point) {
    JacobianPoint table[16];
    table[0] = FromAffine(point);
    for (int i = 1; i < 16; ++i) {
        // (i+1)P: a doubling for even multiples, else an addition of distinct points.
        table[i] = (i % 2 == 1) ? Double(table[i / 2]) : AddSecret(table[i - 1], table[0], false);
    }

    int digits[kDigits];
    RecodeSigned(digits, scalar);
    JacobianPoint r = Lookup(table, digits[kDigits - 1]);
    for (int i = kDigits - 2; i >= 0; --i) {
        for (int d = 0; d < kWindow; ++d)
            r = Double(r);
        r = AddSecret(r, Lookup(table, digits[i]), i == 0);
    }
    SecureWipe(digits, sizeof(digits));
    SecureWipe(table, sizeof(table));
    return r;
}

}  // namespace

bool P256IsValidScalar(const uint8_t scalar[kP256ScalarLength]) {
    const U256 k = mont256::FromBigEndian(scalar);
    return ((mont256::IsZero(k) ^ 1) & mont256::LessThan(k, kOrder.m)) != 0;
}

bool P256IsValidPoint(std::span<const uint8_t> point) {
    AffinePoint decoded;
    return point.size() == kP256PointLength && DecodeUncompressed(decoded, point.data());
}

bool P256PublicKey(uint8_t out[kP256PointLength], const uint8_t secret[kP256ScalarLength]) {
    if (!P256IsValidScalar(secret)) return false;
    AffinePoint result;
    if (!ToAffine(result, MultiplySecret(mont256::FromBigEndian(secret), Generator())))
        return false;
    EncodeUncompressed(out, result);
    return true;
}

bool P256SharedSecret(uint8_t out[kP256ScalarLength], const uint8_t secret[kP256ScalarLength],
                      std::span<const uint8_t> peerPoint) {
    if (!P256IsValidScalar(secret) || peerPoint.size() != kP256PointLength) return false;
    AffinePoint peer;
    if (!DecodeUncompressed(peer, peerPoint.data())) return false;
    U256 k = mont256::FromBigEndian(secret);
    AffinePoint shared;
    const bool finite = ToAffine(shared, MultiplySecret(k, peer));
    SecureWipe(&k, sizeof(k));
    if (!finite) return false;
    mont256::ToBigEndian(out, mont256::FromMontgomery(shared.x, kField));
    SecureWipe(&shared, sizeof(shared));
    return true;
}

}  // namespace tessan::crypto
