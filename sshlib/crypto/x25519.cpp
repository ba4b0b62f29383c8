#include "crypto/x25519.h"

#include "crypto/field25519.h"

namespace tessan::crypto {

using namespace f25519;

void X25519(uint8_t out[kX25519Length], const uint8_t scalar[kX25519Length],
            const uint8_t u[kX25519Length]) {
    uint8_t k[kX25519Length];
    for (size_t i = 0; i < kX25519Length; ++i)
        k[i] = scalar[i];
    k[0] &= 248;
    k[31] &= 127;
    k[31] |= 64;

    // The Montgomery ladder of RFC 7748 section 5: (x2:z2) = [n]P and (x3:z3) = [n+1]P for the
    // bits n read so far, swapped in constant time instead of branching on a bit.
    const Fe x1 = FromBytes(u);
    Fe x2 = One(), z2 = Zero(), x3 = x1, z3 = One();
    uint64_t swap = 0;
    for (int t = 254; t >= 0; --t) {
        const uint64_t bit = (k[t >> 3] >> (t & 7)) & 1;
        swap ^= bit;
        ConditionalSwap(x2, x3, swap);
        ConditionalSwap(z2, z3, swap);
        swap = bit;

        const Fe a = Add(x2, z2);
        const Fe aa = Square(a);
        const Fe b = Sub(x2, z2);
        const Fe bb = Square(b);
        const Fe e = Sub(aa, bb);
        const Fe c = Add(x3, z3);
        const Fe d = Sub(x3, z3);
        const Fe da = Mul(d, a);
        const Fe cb = Mul(c, b);
        x3 = Square(Add(da, cb));
        z3 = Mul(x1, Square(Sub(da, cb)));
        x2 = Mul(aa, bb);
        z2 = Mul(e, Add(aa, MulSmall(e, 121665)));  // a24 = (486662 - 2) / 4
    }
    ConditionalSwap(x2, x3, swap);
    ConditionalSwap(z2, z3, swap);
    ToBytes(out, Mul(x2, Invert(z2)));
    SecureWipe(k, sizeof(k));
    Fe* const secrets[] = {&x2, &z2, &x3, &z3};
    for (Fe* secret : secrets)
        SecureWipe(secret, sizeof(Fe));
}

void X25519PublicKey(uint8_t out[kX25519Length], const uint8_t scalar[kX25519Length]) {
    static constexpr uint8_t kBasePoint[kX25519Length] = {9};
    X25519(out, scalar, kBasePoint);
}

bool X25519IsAllZero(const uint8_t value[kX25519Length]) {
    static constexpr uint8_t kZero[kX25519Length] = {};
    return ConstantTimeEqual(value, kZero, kX25519Length);
}

}  // namespace tessan::crypto
