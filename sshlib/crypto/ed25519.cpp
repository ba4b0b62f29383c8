#include "crypto/ed25519.h"

#include "crypto/field25519.h"
#include "crypto/mont256.h"
#include "crypto/naf.h"
#include "crypto/sha512.h"

namespace tessan::crypto {
namespace {

using namespace f25519;
using mont256::U256;

// Points of -x^2 + y^2 = 1 + d x^2 y^2 in extended coordinates: x = X/Z, y = Y/Z, x*y = T/Z.
struct Point {
    Fe x, y, z, t;
};

// A point prepared for additions: Y+X, Y-X, 2Z and 2dT.
struct Cached {
    Fe yPlusX, yMinusX, z2, t2d;
};

// The group order L = 2^252 + 27742317777372353535851937790883648493.
constexpr mont256::Modulus kOrder = mont256::MakeModulus(
    U256{{0x5812631a5cf5d3ed, 0x14def9dea2f79cd6, 0x0000000000000000, 0x1000000000000000}});

struct Constants {
    Fe d;       // -121665 / 121666
    Fe d2;      // 2d
    Fe sqrtM1;  // a square root of -1: 2^((p-1)/4)
    U256 r3;    // R^3 mod L, to reduce 512-bit numbers
};

const Constants& Curve() {
    static const Constants constants = [] {
        Constants c;
        c.d = Mul(Negate(Small(121665)), Invert(Small(121666)));
        c.d2 = Add(c.d, c.d);
        // (p-1)/4 = 2 (p-5)/8 + 1
        c.sqrtM1 = Mul(Square(PowP58(Small(2))), Small(2));
        c.r3 = mont256::Mul(kOrder.r2, kOrder.r2, kOrder);
        return c;
    }();
    return constants;
}

Point Identity() {
    return Point{Zero(), One(), One(), Zero()};
}

Cached ToCached(const Point& p) {
    return Cached{Add(p.y, p.x), Sub(p.y, p.x), Add(p.z, p.z), Mul(p.t, Curve().d2)};
}

// p + q, or p - q when `subtract` (-q swaps Y+X with Y-X and negates T). The unified
// extended-coordinates addition of Hisil, Wong, Carter and Dawson (2008) for a = -1.
Point AddCached(const Point& p, const Cached& q, bool subtract) {
    const Fe a = Mul(Sub(p.y, p.x), subtract ? q.yPlusX : q.yMinusX);
    const Fe b = Mul(Add(p.y, p.x), subtract ? q.yMinusX : q.yPlusX);
    const Fe c = Mul(p.t, q.t2d);
    const Fe zz = Mul(p.z, q.z2);
    const Fe e = Sub(b, a);
    const Fe h = Add(b, a);
    const Fe f = subtract ? Add(zz, c) : Sub(zz, c);
    const Fe g = subtract ? Sub(zz, c) : Add(zz, c);
    return Point{Mul(e, f), Mul(g, h), Mul(f, g), Mul(e, h)};
}

// 2p; T is left unset unless `withT` (only additions read it). The doubling of the same paper
// with every intermediate negated, which leaves the products unchanged and saves a negation.
Point Double(const Point& p, bool withT) {
    const Fe a = Square(p.x);
    const Fe b = Square(p.y);
    const Fe zz = Square(p.z);
    const Fe c = Add(zz, zz);
    const Fe h = Add(a, b);
    const Fe e = Sub(h, Square(Add(p.x, p.y)));
    const Fe g = Sub(a, b);
    const Fe f = Add(c, g);
    Point r{Mul(e, f), Mul(g, h), Mul(f, g), Zero()};
    if (withT) r.t = Mul(e, h);
    return r;
}

// RFC 8032 section 5.1.3; false for y >= p, for a y with no x on the curve, and for x = 0 with
// the sign bit set.
bool Decode(Point& out, const uint8_t bytes[32]) {
    const Fe y = FromBytes(bytes);
    uint8_t canonical[32];
    ToBytes(canonical, y);
    canonical[31] |= bytes[31] & 0x80;
    if (!ConstantTimeEqual(canonical, bytes, 32)) return false;
    const bool sign = bytes[31] >> 7;

    const Fe yy = Square(y);
    const Fe u = Sub(yy, One());
    const Fe v = Add(Mul(Curve().d, yy), One());
    const Fe v3 = Mul(Square(v), v);
    const Fe v7 = Mul(Square(v3), v);
    Fe x = Mul(Mul(u, v3), PowP58(Mul(u, v7)));
    const Fe vxx = Mul(v, Square(x));
    if (!Equal(vxx, u)) {
        if (!Equal(vxx, Negate(u))) return false;
        x = Mul(x, Curve().sqrtM1);
    }
    if (IsZero(x) && sign) return false;
    if (IsNegative(x) != sign) x = Negate(x);
    out = Point{x, y, One(), Mul(x, y)};
    return true;
}

void Encode(uint8_t out[32], const Point& p) {
    const Fe inverse = Invert(p.z);
    ToBytes(out, Mul(p.y, inverse));
    out[31] |= static_cast<uint8_t>(IsNegative(Mul(p.x, inverse)) << 7);
}

constexpr int kBaseWindow = 8;  // 64 odd multiples of B, made once
constexpr int kKeyWindow = 5;   // 8 odd multiples of A, made per signature

// P, 3P, 5P, ... (2n-1)P.
template <size_t n>
void OddMultiples(Cached (&table)[n], const Point& p) {
    const Cached twice = ToCached(Double(p, true));
    Point current = p;
    table[0] = ToCached(current);
    for (size_t i = 1; i < n; ++i) {
        current = AddCached(current, twice, false);
        table[i] = ToCached(current);
    }
}

struct BaseTable {
    Cached multiples[1 << (kBaseWindow - 2)];
};

const BaseTable& Base() {
    static const BaseTable table = [] {
        // B is the point with y = 4/5 and even x; its encoding is 0x58 then 31 bytes 0x66.
        uint8_t encoding[32];
        encoding[0] = 0x58;
        for (int i = 1; i < 32; ++i)
            encoding[i] = 0x66;
        Point base;
        Decode(base, encoding);
        BaseTable t;
        OddMultiples(t.multiples, base);
        return t;
    }();
    return table;
}

// [s]B - [k]A, interleaving both NAF chains so they share one run of doublings.
Point DoubleScalarMultiply(const uint8_t s[32], const uint8_t k[32], const Point& a) {
    int8_t sDigits[kNafDigits], kDigits[kNafDigits];
    ComputeNaf(sDigits, mont256::FromLittleEndian(s).v, kBaseWindow);
    ComputeNaf(kDigits, mont256::FromLittleEndian(k).v, kKeyWindow);
    Cached aMultiples[1 << (kKeyWindow - 2)];
    OddMultiples(aMultiples, a);
    const Cached* bMultiples = Base().multiples;

    int top = kNafDigits - 1;
    while (top >= 0 && sDigits[top] == 0 && kDigits[top] == 0)
        --top;
    Point r = Identity();
    for (int i = top; i >= 0; --i) {
        const int8_t sd = sDigits[i], kd = kDigits[i];
        r = Double(r, sd != 0 || kd != 0);
        if (sd > 0) r = AddCached(r, bMultiples[sd / 2], false);
        if (sd < 0) r = AddCached(r, bMultiples[-sd / 2], true);
        if (kd > 0) r = AddCached(r, aMultiples[kd / 2], true);
        if (kd < 0) r = AddCached(r, aMultiples[-kd / 2], false);
    }
    return r;
}

// A 64-byte little-endian number mod L, as 32 little-endian bytes: with R = 2^256 and
// x = high R + low, Montgomery multiplication gives high R^2 + low R (mod L) = x R, and one more
// reduction divides R out.
void ReduceWide(uint8_t out[32], const uint8_t in[64]) {
    const U256 low = mont256::FromLittleEndian(in);
    const U256 high = mont256::FromLittleEndian(in + 32);
    const U256 xr = mont256::Add(mont256::Mul(high, Curve().r3, kOrder),
                                 mont256::Mul(low, kOrder.r2, kOrder), kOrder);
    mont256::ToLittleEndian(out, mont256::FromMontgomery(xr, kOrder));
}

}  // namespace

bool Ed25519Verify(const uint8_t publicKey[kEd25519PublicKeyLength],
                   const uint8_t signature[kEd25519SignatureLength],
                   std::span<const uint8_t> message) {
    const uint8_t* s = signature + 32;
    if (!mont256::LessThan(mont256::FromLittleEndian(s), kOrder.m)) return false;
    Point a;
    if (!Decode(a, publicKey)) return false;

    Sha512 hash;
    hash.Update(signature, 32);
    hash.Update(publicKey, kEd25519PublicKeyLength);
    hash.Update(message);
    const Sha512::Digest digest = hash.Finish();
    uint8_t k[32];
    ReduceWide(k, digest.data());

    uint8_t encoded[32];
    Encode(encoded, DoubleScalarMultiply(s, k, a));
    return ConstantTimeEqual(encoded, signature, 32);
}

}  // namespace tessan::crypto
