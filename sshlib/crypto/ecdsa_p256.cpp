// ECDSA P-256 verification: public data only, so the double-scalar multiplication branches and
// uses NAF digits freely.
#include "crypto/naf.h"
#include "crypto/p256.h"
#include "crypto/p256_point.h"
#include "crypto/sha256.h"

namespace tessan::crypto {

using namespace p256;

namespace {

constexpr int kGeneratorWindow = 8;  // 64 odd multiples of G in affine form, made once
constexpr int kKeyWindow = 5;        // 8 odd multiples of Q, made per verification

struct GeneratorTable {
    AffinePoint multiples[1 << (kGeneratorWindow - 2)];
};

const GeneratorTable& GeneratorMultiples() {
    static const GeneratorTable table = [] {
        GeneratorTable t;
        const JacobianPoint g = FromAffine(Generator());
        const JacobianPoint twice = Double(g);
        JacobianPoint current = g;
        for (AffinePoint& multiple : t.multiples) {
            ToAffine(multiple, current);
            current = AddPublic(current, twice);
        }
        return t;
    }();
    return table;
}

AffinePoint Negate(const AffinePoint& p) {
    return AffinePoint{p.x, Sub(U256{}, p.y)};
}

JacobianPoint Negate(const JacobianPoint& p) {
    return JacobianPoint{p.x, Sub(U256{}, p.y), p.z};
}

// An unsigned big-endian number in 1 .. n-1 (leading zero bytes allowed).
bool ReadScalar(U256& out, std::span<const uint8_t> bytes) {
    while (!bytes.empty() && bytes.front() == 0)
        bytes = bytes.subspan(1);
    if (bytes.size() > 32) return false;
    uint8_t padded[32] = {};
    for (size_t i = 0; i < bytes.size(); ++i)
        padded[32 - bytes.size() + i] = bytes[i];
    out = mont256::FromBigEndian(padded);
    return !mont256::IsZero(out) && mont256::LessThan(out, kOrder.m);
}

// [u1]G + [u2]Q sharing one chain of doublings.
JacobianPoint MultiplyPublic(const U256& u1, const U256& u2, const AffinePoint& q) {
    int8_t gDigits[kNafDigits], qDigits[kNafDigits];
    ComputeNaf(gDigits, u1.v, kGeneratorWindow);
    ComputeNaf(qDigits, u2.v, kKeyWindow);
    JacobianPoint qMultiples[1 << (kKeyWindow - 2)];
    qMultiples[0] = FromAffine(q);
    const JacobianPoint twice = Double(qMultiples[0]);
    for (size_t i = 1; i < std::size(qMultiples); ++i)
        qMultiples[i] = AddPublic(qMultiples[i - 1], twice);
    const AffinePoint* gMultiples = GeneratorMultiples().multiples;

    JacobianPoint r{kField.one, kField.one, U256{}};
    int top = kNafDigits - 1;
    while (top >= 0 && gDigits[top] == 0 && qDigits[top] == 0)
        --top;
    for (int i = top; i >= 0; --i) {
        r = Double(r);
        const int8_t gd = gDigits[i], qd = qDigits[i];
        if (gd > 0) r = AddMixedPublic(r, gMultiples[gd / 2]);
        if (gd < 0) r = AddMixedPublic(r, Negate(gMultiples[-gd / 2]));
        if (qd > 0) r = AddPublic(r, qMultiples[qd / 2]);
        if (qd < 0) r = AddPublic(r, Negate(qMultiples[-qd / 2]));
    }
    return r;
}

}  // namespace

bool EcdsaP256Verify(std::span<const uint8_t> publicPoint, std::span<const uint8_t> r,
                     std::span<const uint8_t> s, std::span<const uint8_t> message) {
    AffinePoint q;
    if (publicPoint.size() != kP256PointLength || !DecodeUncompressed(q, publicPoint.data()))
        return false;
    U256 rValue, sValue;
    if (!ReadScalar(rValue, r) || !ReadScalar(sValue, s)) return false;

    // The digest is as long as n, so it is used whole; Montgomery multiplication reduces it
    // mod n on the way in.
    const Sha256::Digest digest = Sha256::Hash(message);
    const U256 e = mont256::ToMontgomery(mont256::FromBigEndian(digest.data()), kOrder);
    static constexpr U256 kNMinus2{
        {0xf3b9cac2fc63254f, 0xbce6faada7179e84, 0xffffffffffffffff, 0xffffffff00000000}};
    const U256 w = mont256::Pow(mont256::ToMontgomery(sValue, kOrder), kNMinus2, kOrder);
    const U256 u1 = mont256::FromMontgomery(mont256::Mul(e, w, kOrder), kOrder);
    const U256 u2 = mont256::FromMontgomery(
        mont256::Mul(mont256::ToMontgomery(rValue, kOrder), w, kOrder), kOrder);

    const JacobianPoint sum = MultiplyPublic(u1, u2, q);
    if (IsInfinity(sum)) return false;
    // x(sum) mod n == r without an inversion: x = X / Z^2 lies below p, so x mod n is r exactly
    // when x = r or x = r + n (the latter only possible when r + n < p).
    const U256 zz = Square(sum.z);
    if (mont256::Equal(Mul(mont256::ToMontgomery(rValue, kField), zz), sum.x)) return true;
    U256 rPlusN;
    if (mont256::AddCarry(rPlusN, rValue, kOrder.m) != 0 || !mont256::LessThan(rPlusN, kField.m))
        return false;
    return mont256::Equal(Mul(mont256::ToMontgomery(rPlusN, kField), zz), sum.x);
}

}  // namespace tessan::crypto
