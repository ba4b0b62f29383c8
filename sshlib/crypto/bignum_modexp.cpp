// Modular exponentiation: Montgomery multiplication (CIOS) for odd moduli, with a fixed-window
// constant-time variant for secret exponents; plain square-and-multiply with division for the
// rare even modulus.
#include <algorithm>
#include <cstddef>

#include "crypto/bignum.h"
#include "crypto/bytes.h"

namespace tessan::crypto {
namespace {

using Limb = BigNum::Limb;
using Limbs = BigNum::Limbs;
__extension__ typedef unsigned __int128 Wide;

class Montgomery {
public:
    // `modulus` must be odd.
    explicit Montgomery(const BigNum& modulus)
        : n_(modulus.LimbArray().size()),
          modulus_(modulus.LimbArray()),
          scratch_(n_ + 2),
          wide_(2 * n_ + 1) {
        // -N^-1 mod 2^64 by Newton's iteration (each step doubles the correct low bits).
        const Limb n0 = modulus_[0];
        Limb inverse = n0;
        for (int i = 0; i < 6; ++i)
            inverse *= 2 - n0 * inverse;
        n0Inverse_ = ~inverse + 1;
        BigNum rSquared = BigNum::Mod(BigNum(1).ShiftLeft(128 * n_), modulus);
        rSquared_ = Padded(rSquared);
    }

    size_t Size() const { return n_; }

    // The value's limbs zero-extended to the modulus size (the value must be below the modulus).
    Limbs Padded(const BigNum& value) const {
        Limbs out(n_, 0);
        for (size_t i = 0; i < value.LimbArray().size() && i < n_; ++i)
            out[i] = value.LimbArray()[i];
        return out;
    }

    // out = a * b / R mod N for a, b < N. The running time depends only on the size of N; `out`
    // may alias a or b.
    void Mul(Limb* out, const Limb* a, const Limb* b) const {
        const size_t n = n_;
        const Limb* m = modulus_.data();
        Limb* t = scratch_.data();
        for (size_t i = 0; i < n + 2; ++i)
            t[i] = 0;
        for (size_t i = 0; i < n; ++i) {
            const Limb bi = b[i];
            Limb carry = 0;
            for (size_t j = 0; j < n; ++j) {
                const Wide product = Wide{a[j]} * bi + t[j] + carry;
                t[j] = static_cast<Limb>(product);
                carry = static_cast<Limb>(product >> 64);
            }
            Wide sum = Wide{t[n]} + carry;
            t[n] = static_cast<Limb>(sum);
            t[n + 1] = static_cast<Limb>(sum >> 64);

            const Limb q = t[0] * n0Inverse_;
            Wide reduce = Wide{q} * m[0] + t[0];
            carry = static_cast<Limb>(reduce >> 64);
            for (size_t j = 1; j < n; ++j) {
                reduce = Wide{q} * m[j] + t[j] + carry;
                t[j - 1] = static_cast<Limb>(reduce);
                carry = static_cast<Limb>(reduce >> 64);
            }
            sum = Wide{t[n]} + carry;
            t[n - 1] = static_cast<Limb>(sum);
            t[n] = t[n + 1] + static_cast<Limb>(sum >> 64);
        }
        FinalSubtract(out, t, t[n]);
    }

    // out = a^2 / R mod N for a < N: the square with each cross product computed once, then a
    // Montgomery reduction. Constant time like Mul; `out` may alias a.
    void Square(Limb* out, const Limb* a) const {
        const size_t n = n_;
        Limb* t = wide_.data();
        for (size_t i = 0; i < 2 * n; ++i)
            t[i] = 0;
        // Cross products a[i] * a[j] for i < j.
        for (size_t i = 0; i + 1 < n; ++i) {
            const Limb ai = a[i];
            Limb carry = 0;
            for (size_t j = i + 1; j < n; ++j) {
                const Wide product = Wide{ai} * a[j] + t[i + j] + carry;
                t[i + j] = static_cast<Limb>(product);
                carry = static_cast<Limb>(product >> 64);
            }
            t[i + n] = carry;
        }
        // Doubled (they sum to less than a^2 / 2, so no bit leaves the top), plus the squares.
        Limb shifted = 0;
        for (size_t k = 0; k < 2 * n; ++k) {
            const Limb v = t[k];
            t[k] = (v << 1) | shifted;
            shifted = v >> 63;
        }
        Limb carry = 0;
        for (size_t i = 0; i < n; ++i) {
            const Wide square = Wide{a[i]} * a[i];
            Wide sum = Wide{t[2 * i]} + static_cast<Limb>(square) + carry;
            t[2 * i] = static_cast<Limb>(sum);
            sum =
                Wide{t[2 * i + 1]} + static_cast<Limb>(square >> 64) + static_cast<Limb>(sum >> 64);
            t[2 * i + 1] = static_cast<Limb>(sum);
            carry = static_cast<Limb>(sum >> 64);
        }
        // Reduce the 2n-limb square: each step clears the lowest remaining limb.
        const Limb* m = modulus_.data();
        Limb overflow = 0;
        for (size_t i = 0; i < n; ++i) {
            const Limb q = t[i] * n0Inverse_;
            Limb c = 0;
            for (size_t j = 0; j < n; ++j) {
                const Wide reduce = Wide{q} * m[j] + t[i + j] + c;
                t[i + j] = static_cast<Limb>(reduce);
                c = static_cast<Limb>(reduce >> 64);
            }
            const Wide sum = Wide{t[i + n]} + c + overflow;
            t[i + n] = static_cast<Limb>(sum);
            overflow = static_cast<Limb>(sum >> 64);
        }
        FinalSubtract(out, t + n, overflow);
    }

    Limbs ToMontgomery(const BigNum& reduced) const {
        Limbs out(n_);
        const Limbs value = Padded(reduced);
        Mul(out.data(), value.data(), rSquared_.data());
        return out;
    }

    BigNum FromMontgomery(const Limbs& value) const {
        Limbs one(n_, 0);
        one[0] = 1;
        Limbs out(n_);
        Mul(out.data(), value.data(), one.data());
        return BigNum::FromLimbs(out.data(), n_);
    }

private:
    // out = (top, t[0..n)) - N when that is not negative, else t; the value is below 2N and the
    // choice is made by mask, not by a branch.
    void FinalSubtract(Limb* out, const Limb* t, Limb top) const {
        const Limb* m = modulus_.data();
        Limb borrow = 0;
        for (size_t j = 0; j < n_; ++j) {
            const Wide difference = Wide{t[j]} - m[j] - borrow;
            borrow = static_cast<Limb>(difference >> 64) & 1;
            out[j] = static_cast<Limb>(difference);
        }
        const Limb negative = static_cast<Limb>(borrow > top);
        const Limb keepOriginal = Limb{0} - negative;
        for (size_t j = 0; j < n_; ++j)
            out[j] = (out[j] & ~keepOriginal) | (t[j] & keepOriginal);
    }

    size_t n_;
    Limbs modulus_;
    Limbs rSquared_;
    Limb n0Inverse_ = 0;
    mutable Limbs scratch_;
    mutable Limbs wide_;
};

BigNum ModExpPlain(const BigNum& base, const BigNum& exponent, const BigNum& modulus) {
    BigNum result = BigNum::Mod(BigNum(1), modulus);
    const BigNum reducedBase = BigNum::Mod(base, modulus);
    for (size_t i = exponent.BitCount(); i-- > 0;) {
        result = BigNum::ModMul(result, result, modulus);
        if (exponent.Bit(i)) result = BigNum::ModMul(result, reducedBase, modulus);
    }
    return result;
}

// The `width` exponent bits starting at `position`, read from a fixed-size limb array.
Limb Window(const Limbs& exponent, size_t position, int width) {
    Limb value = 0;
    for (int k = width - 1; k >= 0; --k) {
        const size_t bit = position + static_cast<size_t>(k);
        const Limb limb = bit / 64 < exponent.size() ? exponent[bit / 64] : 0;
        value = (value << 1) | ((limb >> (bit % 64)) & 1);
    }
    return value;
}

}  // namespace

BigNum BigNum::ModExp(const BigNum& base, const BigNum& exponent, const BigNum& modulus) {
    if (modulus.IsZero()) return BigNum();
    if (!modulus.IsOdd() || modulus.IsOne()) return ModExpPlain(base, exponent, modulus);
    if (exponent.IsZero()) return Mod(BigNum(1), modulus);

    const Montgomery mont(modulus);
    const size_t n = mont.Size();
    constexpr int kWidth = 4;
    // table[i] = base^i in Montgomery form
    Limbs table[1 << kWidth];
    table[0] = mont.ToMontgomery(Mod(BigNum(1), modulus));
    table[1] = mont.ToMontgomery(Mod(base, modulus));
    for (int i = 2; i < (1 << kWidth); ++i) {
        table[i].resize(n);
        mont.Mul(table[i].data(), table[i - 1].data(), table[1].data());
    }
    const Limbs& e = exponent.LimbArray();
    const size_t windows = (exponent.BitCount() + kWidth - 1) / kWidth;
    Limbs accumulator = table[Window(e, (windows - 1) * kWidth, kWidth)];
    for (size_t w = windows - 1; w-- > 0;) {
        for (int s = 0; s < kWidth; ++s)
            mont.Square(accumulator.data(), accumulator.data());
        const Limb digit = Window(e, w * kWidth, kWidth);
        if (digit != 0) mont.Mul(accumulator.data(), accumulator.data(), table[digit].data());
    }
    return mont.FromMontgomery(accumulator);
}

BigNum BigNum::ModExpSecret(const BigNum& base, const BigNum& exponent, const BigNum& modulus,
                            size_t exponentBits) {
    if (modulus.IsZero()) return BigNum();
    if (!modulus.IsOdd() || modulus.IsOne()) return ModExpPlain(base, exponent, modulus);

    const Montgomery mont(modulus);
    const size_t n = mont.Size();
    constexpr int kWidth = 5;
    constexpr size_t kEntries = size_t{1} << kWidth;
    const size_t bits = exponentBits > exponent.BitCount() ? exponentBits : exponent.BitCount();
    const size_t windows = bits == 0 ? 1 : (bits + kWidth - 1) / kWidth;

    // The exponent copied into a fixed number of limbs so reading it touches the same words
    // whatever its value.
    Limbs e((windows * kWidth + 63) / 64, 0);
    for (size_t i = 0; i < exponent.LimbArray().size() && i < e.size(); ++i)
        e[i] = exponent.LimbArray()[i];

    // One flat table, entry i = base^i in Montgomery form.
    Limbs table(kEntries * n);
    {
        const Limbs one = mont.ToMontgomery(Mod(BigNum(1), modulus));
        const Limbs b = mont.ToMontgomery(Mod(base, modulus));
        std::copy(one.begin(), one.end(), table.begin());
        std::copy(b.begin(), b.end(), table.begin() + static_cast<std::ptrdiff_t>(n));
        for (size_t i = 2; i < kEntries; ++i)
            mont.Mul(&table[i * n], &table[(i - 1) * n], &table[n]);
    }

    Limbs selected(n);
    // Reads every entry and keeps the wanted one by mask, so the access pattern is the same for
    // every index.
    auto select = [&](Limb index) {
        for (size_t j = 0; j < n; ++j)
            selected[j] = 0;
        for (size_t i = 0; i < kEntries; ++i) {
            const Limb difference = static_cast<Limb>(i) ^ index;
            const Limb mask = Limb{0} - ((difference - 1) >> 63);
            const Limb* entry = &table[i * n];
            for (size_t j = 0; j < n; ++j)
                selected[j] |= entry[j] & mask;
        }
    };

    select(Window(e, (windows - 1) * kWidth, kWidth));
    Limbs accumulator = selected;
    for (size_t w = windows - 1; w-- > 0;) {
        for (int s = 0; s < kWidth; ++s)
            mont.Square(accumulator.data(), accumulator.data());
        select(Window(e, w * kWidth, kWidth));
        mont.Mul(accumulator.data(), accumulator.data(), selected.data());
    }
    return mont.FromMontgomery(accumulator);
}

}  // namespace tessan::crypto
