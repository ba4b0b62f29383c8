#include "crypto/p256_point.h"

namespace tessan::crypto::p256 {
namespace {

struct Constants {
    U256 b;  // Montgomery form
    AffinePoint generator;
};

const Constants& Curve() {
    static const Constants constants = [] {
        auto toField = [](const U256& a) { return mont256::ToMontgomery(a, kField); };
        Constants c;
        c.b = toField(
            U256{{0x3bce3c3e27d2604b, 0x651d06b0cc53b0f6, 0xb3ebbd55769886bc, 0x5ac635d8aa3a93e7}});
        c.generator.x = toField(
            U256{{0xf4a13945d898c296, 0x77037d812deb33a0, 0xf8bce6e563a440f2, 0x6b17d1f2e12c4247}});
        c.generator.y = toField(
            U256{{0xcbb6406837bf51f5, 0x2bce33576b315ece, 0x8ee7eb4a7c0f9e16, 0x4fe342e2fe1a7f9b}});
        return c;
    }();
    return constants;
}

JacobianPoint Infinity() {
    return JacobianPoint{kField.one, kField.one, U256{}};
}

JacobianPoint Select(uint64_t choose, const JacobianPoint& a, const JacobianPoint& b) {
    return JacobianPoint{mont256::Select(choose, a.x, b.x), mont256::Select(choose, a.y, b.y),
                         mont256::Select(choose, a.z, b.z)};
}

// The general Jacobian addition (Bernstein and Lange, "add-2007-bl"), wrong only when
// p = q (it gives infinity) or when either input is infinity; h and r are returned so callers
// can tell those cases apart.
JacobianPoint AddIncomplete(const JacobianPoint& p, const JacobianPoint& q, U256& h, U256& r) {
    const U256 z1z1 = Square(p.z);
    const U256 z2z2 = Square(q.z);
    const U256 u1 = Mul(p.x, z2z2);
    const U256 u2 = Mul(q.x, z1z1);
    const U256 s1 = Mul(p.y, Mul(q.z, z2z2));
    const U256 s2 = Mul(q.y, Mul(p.z, z1z1));
    h = Sub(u2, u1);
    const U256 sDiff = Sub(s2, s1);
    r = Add(sDiff, sDiff);
    const U256 i = Square(Add(h, h));
    const U256 j = Mul(h, i);
    const U256 v = Mul(u1, i);
    const U256 x3 = Sub(Sub(Square(r), j), Add(v, v));
    const U256 y3 = Sub(Mul(r, Sub(v, x3)), Mul(Add(s1, s1), j));
    const U256 z3 = Mul(Sub(Sub(Square(Add(p.z, q.z)), z1z1), z2z2), h);
    return JacobianPoint{x3, y3, z3};
}

}  // namespace

// a^(p-2). In binary p - 2 is 32 ones, 31 zeros, a one, 96 zeros, 94 ones, a zero and a one;
// the runs of ones come from a^(2^k - 1) for k = 2, 4, 8, 16, 32: 255 squarings and 13
// multiplications whatever a is.
U256 Invert(const U256& a) {
    auto squareTimes = [](U256 x, int n) {
        for (int i = 0; i < n; ++i)
            x = Square(x);
        return x;
    };
    const U256 x2 = Mul(Square(a), a);
    const U256 x4 = Mul(squareTimes(x2, 2), x2);
    const U256 x8 = Mul(squareTimes(x4, 4), x4);
    const U256 x16 = Mul(squareTimes(x8, 8), x8);
    const U256 x32 = Mul(squareTimes(x16, 16), x16);
    U256 r = Mul(squareTimes(x32, 32), a);
    r = squareTimes(r, 96);
    r = Mul(squareTimes(r, 32), x32);
    r = Mul(squareTimes(r, 32), x32);
    r = Mul(squareTimes(r, 16), x16);
    r = Mul(squareTimes(r, 8), x8);
    r = Mul(squareTimes(r, 4), x4);
    r = Mul(squareTimes(r, 2), x2);
    return Mul(squareTimes(r, 2), a);
}

const AffinePoint& Generator() {
    return Curve().generator;
}

// "dbl-2001-b" for a = -3: alpha = 3 (X - Z^2)(X + Z^2).
JacobianPoint Double(const JacobianPoint& p) {
    const U256 delta = Square(p.z);
    const U256 gamma = Square(p.y);
    const U256 beta = Mul(p.x, gamma);
    const U256 t = Mul(Sub(p.x, delta), Add(p.x, delta));
    const U256 alpha = Add(Add(t, t), t);
    const U256 beta4 = Add(Add(beta, beta), Add(beta, beta));
    const U256 x3 = Sub(Square(alpha), Add(beta4, beta4));
    const U256 z3 = Sub(Sub(Square(Add(p.y, p.z)), gamma), delta);
    const U256 gamma2 = Square(gamma);
    const U256 gamma2x4 = Add(Add(gamma2, gamma2), Add(gamma2, gamma2));
    const U256 y3 = Sub(Mul(alpha, Sub(beta4, x3)), Add(gamma2x4, gamma2x4));
    return JacobianPoint{x3, y3, z3};
}

JacobianPoint AddSecret(const JacobianPoint& p, const JacobianPoint& q, bool mayBeEqual) {
    U256 h, r;
    const JacobianPoint sum = AddIncomplete(p, q, h, r);
    const uint64_t pInfinity = IsInfinity(p), qInfinity = IsInfinity(q);
    JacobianPoint result = sum;
    if (mayBeEqual) {
        const uint64_t equal =
            mont256::IsZero(h) & mont256::IsZero(r) & (pInfinity ^ 1) & (qInfinity ^ 1);
        result = Select(equal, Double(p), sum);
    }
    result = Select(pInfinity, q, result);
    return Select(qInfinity, p, result);
}

JacobianPoint AddPublic(const JacobianPoint& p, const JacobianPoint& q) {
    if (IsInfinity(p)) return q;
    if (IsInfinity(q)) return p;
    U256 h, r;
    const JacobianPoint sum = AddIncomplete(p, q, h, r);
    if (mont256::IsZero(h)) return mont256::IsZero(r) ? Double(p) : Infinity();
    return sum;
}

// "madd-2007-bl": the addition with Z2 = 1.
JacobianPoint AddMixedPublic(const JacobianPoint& p, const AffinePoint& q) {
    if (IsInfinity(p)) return FromAffine(q);
    const U256 z1z1 = Square(p.z);
    const U256 u2 = Mul(q.x, z1z1);
    const U256 s2 = Mul(q.y, Mul(p.z, z1z1));
    const U256 h = Sub(u2, p.x);
    const U256 sDiff = Sub(s2, p.y);
    if (mont256::IsZero(h)) return mont256::IsZero(sDiff) ? Double(p) : Infinity();
    const U256 hh = Square(h);
    const U256 i = Add(Add(hh, hh), Add(hh, hh));
    const U256 j = Mul(h, i);
    const U256 r = Add(sDiff, sDiff);
    const U256 v = Mul(p.x, i);
    const U256 x3 = Sub(Sub(Square(r), j), Add(v, v));
    const U256 y1j = Mul(p.y, j);
    const U256 y3 = Sub(Mul(r, Sub(v, x3)), Add(y1j, y1j));
    const U256 z3 = Sub(Sub(Square(Add(p.z, h)), z1z1), hh);
    return JacobianPoint{x3, y3, z3};
}

bool DecodeUncompressed(AffinePoint& out, const uint8_t encoded[65]) {
    if (encoded[0] != 0x04) return false;
    const U256 x = mont256::FromBigEndian(encoded + 1);
    const U256 y = mont256::FromBigEndian(encoded + 33);
    if (!mont256::LessThan(x, kField.m) || !mont256::LessThan(y, kField.m)) return false;
    const U256 mx = mont256::ToMontgomery(x, kField);
    const U256 my = mont256::ToMontgomery(y, kField);
    // y^2 = x^3 - 3x + b = (x^2 - 3) x + b
    const U256 three = Add(Add(kField.one, kField.one), kField.one);
    const U256 rhs = Add(Mul(Sub(Square(mx), three), mx), Curve().b);
    if (!mont256::Equal(Square(my), rhs)) return false;
    out = AffinePoint{mx, my};
    return true;
}

bool ToAffine(AffinePoint& out, const JacobianPoint& p) {
    if (IsInfinity(p)) return false;
    const U256 zInverse = Invert(p.z);
    const U256 zInverse2 = Square(zInverse);
    out = AffinePoint{Mul(p.x, zInverse2), Mul(p.y, Mul(zInverse2, zInverse))};
    return true;
}

void EncodeUncompressed(uint8_t out[65], const AffinePoint& p) {
    out[0] = 0x04;
    mont256::ToBigEndian(out + 1, mont256::FromMontgomery(p.x, kField));
    mont256::ToBigEndian(out + 33, mont256::FromMontgomery(p.y, kField));
}

}  // namespace tessan::crypto::p256
