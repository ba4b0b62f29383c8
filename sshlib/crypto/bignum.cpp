#include "crypto/bignum.h"

#include <algorithm>
#include <utility>

#include "crypto/bytes.h"

namespace tessan::crypto {

using Limb = BigNum::Limb;
__extension__ typedef unsigned __int128 Wide;

BigNum::BigNum(uint64_t value) {
    if (value != 0) limbs_.push_back(value);
}

void BigNum::Normalize() {
    while (!limbs_.empty() && limbs_.back() == 0)
        limbs_.pop_back();
}

void BigNum::Wipe() {
    SecureWipe(limbs_.data(), limbs_.size() * sizeof(Limb));
    limbs_.clear();
}

BigNum BigNum::FromBytes(std::span<const uint8_t> bytes) {
    BigNum result;
    result.limbs_.assign((bytes.size() + 7) / 8, 0);
    const size_t n = bytes.size();
    for (size_t i = 0; i < n; ++i) {
        // Byte n-1-i is the i-th least significant.
        result.limbs_[i / 8] |= Limb{bytes[n - 1 - i]} << (8 * (i % 8));
    }
    result.Normalize();
    return result;
}

BigNum BigNum::FromLimbs(const Limb* limbs, size_t count) {
    BigNum result;
    result.limbs_.assign(limbs, limbs + count);
    result.Normalize();
    return result;
}

void BigNum::ToBytes(uint8_t* out, size_t length) const {
    for (size_t i = 0; i < length; ++i)
        out[length - 1 - i] = Byte(i);
}

std::vector<uint8_t> BigNum::ToBytes() const {
    std::vector<uint8_t> out(ByteCount());
    ToBytes(out.data(), out.size());
    return out;
}

size_t BigNum::BitCount() const {
    if (limbs_.empty()) return 0;
    return 64 * limbs_.size() - static_cast<size_t>(__builtin_clzll(limbs_.back()));
}

uint8_t BigNum::Byte(size_t i) const {
    if (i / 8 >= limbs_.size()) return 0;
    return static_cast<uint8_t>(limbs_[i / 8] >> (8 * (i % 8)));
}

bool BigNum::Bit(size_t i) const {
    if (i / 64 >= limbs_.size()) return false;
    return (limbs_[i / 64] >> (i % 64)) & 1;
}

void BigNum::SetBit(size_t i) {
    if (i / 64 >= limbs_.size()) limbs_.resize(i / 64 + 1, 0);
    limbs_[i / 64] |= Limb{1} << (i % 64);
}

int BigNum::Compare(const BigNum& a, const BigNum& b) {
    if (a.limbs_.size() != b.limbs_.size()) return a.limbs_.size() < b.limbs_.size() ? -1 : 1;
    for (size_t i = a.limbs_.size(); i-- > 0;) {
        if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
    }
    return 0;
}

BigNum BigNum::Add(const BigNum& a, const BigNum& b) {
    const BigNum& longer = a.limbs_.size() >= b.limbs_.size() ? a : b;
    const BigNum& shorter = a.limbs_.size() >= b.limbs_.size() ? b : a;
    BigNum result;
    result.limbs_.resize(longer.limbs_.size() + 1);
    Limb carry = 0;
    for (size_t i = 0; i < longer.limbs_.size(); ++i) {
        const Wide sum =
            Wide{longer.limbs_[i]} + (i < shorter.limbs_.size() ? shorter.limbs_[i] : 0) + carry;
        result.limbs_[i] = static_cast<Limb>(sum);
        carry = static_cast<Limb>(sum >> 64);
    }
    result.limbs_.back() = carry;
    result.Normalize();
    return result;
}

BigNum BigNum::Sub(const BigNum& a, const BigNum& b) {
    BigNum result;
    result.limbs_.resize(a.limbs_.size());
    Limb borrow = 0;
    for (size_t i = 0; i < a.limbs_.size(); ++i) {
        const Limb subtrahend = i < b.limbs_.size() ? b.limbs_[i] : 0;
        const Wide difference = Wide{a.limbs_[i]} - subtrahend - borrow;
        result.limbs_[i] = static_cast<Limb>(difference);
        borrow = static_cast<Limb>(difference >> 64) & 1;
    }
    result.Normalize();
    return result;
}

BigNum BigNum::Mul(const BigNum& a, const BigNum& b) {
    BigNum result;
    if (a.IsZero() || b.IsZero()) return result;
    result.limbs_.assign(a.limbs_.size() + b.limbs_.size(), 0);
    for (size_t i = 0; i < a.limbs_.size(); ++i) {
        Limb carry = 0;
        for (size_t j = 0; j < b.limbs_.size(); ++j) {
            const Wide t = Wide{a.limbs_[i]} * b.limbs_[j] + result.limbs_[i + j] + carry;
            result.limbs_[i + j] = static_cast<Limb>(t);
            carry = static_cast<Limb>(t >> 64);
        }
        result.limbs_[i + b.limbs_.size()] = carry;
    }
    result.Normalize();
    return result;
}

BigNum BigNum::ShiftLeft(size_t bits) const {
    BigNum result;
    if (IsZero()) return result;
    const size_t limbShift = bits / 64;
    const int bitShift = static_cast<int>(bits % 64);
    result.limbs_.assign(limbs_.size() + limbShift + 1, 0);
    for (size_t i = 0; i < limbs_.size(); ++i) {
        result.limbs_[i + limbShift] |= limbs_[i] << bitShift;
        if (bitShift != 0) result.limbs_[i + limbShift + 1] |= limbs_[i] >> (64 - bitShift);
    }
    result.Normalize();
    return result;
}

BigNum BigNum::ShiftRight(size_t bits) const {
    BigNum result;
    const size_t limbShift = bits / 64;
    if (limbShift >= limbs_.size()) return result;
    const int bitShift = static_cast<int>(bits % 64);
    result.limbs_.assign(limbs_.size() - limbShift, 0);
    for (size_t i = 0; i < result.limbs_.size(); ++i) {
        result.limbs_[i] = limbs_[i + limbShift] >> bitShift;
        if (bitShift != 0 && i + limbShift + 1 < limbs_.size()) {
            result.limbs_[i] |= limbs_[i + limbShift + 1] << (64 - bitShift);
        }
    }
    result.Normalize();
    return result;
}

// Knuth's algorithm D (TAOCP 4.3.1) on 64-bit limbs with 128-bit intermediate products.
bool BigNum::DivMod(const BigNum& a, const BigNum& b, BigNum* quotient, BigNum* remainder) {
    if (b.IsZero()) return false;
    if (Compare(a, b) < 0) {
        if (quotient != nullptr) *quotient = BigNum();
        if (remainder != nullptr) *remainder = a;
        return true;
    }
    const size_t n = b.limbs_.size();
    const size_t m = a.limbs_.size() - n;
    BigNum q;
    q.limbs_.assign(m + 1, 0);

    if (n == 1) {
        const Limb divisor = b.limbs_[0];
        Limb rest = 0;
        for (size_t i = a.limbs_.size(); i-- > 0;) {
            const Wide value = (Wide{rest} << 64) | a.limbs_[i];
            q.limbs_[i] = static_cast<Limb>(value / divisor);
            rest = static_cast<Limb>(value % divisor);
        }
        q.Normalize();
        if (quotient != nullptr) *quotient = std::move(q);
        if (remainder != nullptr) *remainder = BigNum(rest);
        return true;
    }

    // Normalise so the divisor's top limb has its top bit set.
    const int shift = __builtin_clzll(b.limbs_.back());
    Limbs v(n), u(a.limbs_.size() + 1);
    for (size_t i = n; i-- > 0;) {
        v[i] = (b.limbs_[i] << shift) | (shift != 0 && i > 0 ? b.limbs_[i - 1] >> (64 - shift) : 0);
    }
    u[a.limbs_.size()] = shift != 0 ? a.limbs_.back() >> (64 - shift) : 0;
    for (size_t i = a.limbs_.size(); i-- > 0;) {
        u[i] = (a.limbs_[i] << shift) | (shift != 0 && i > 0 ? a.limbs_[i - 1] >> (64 - shift) : 0);
    }

    const Limb top = v[n - 1];
    const Limb second = v[n - 2];
    for (size_t j = m + 1; j-- > 0;) {
        const Wide numerator = (Wide{u[j + n]} << 64) | u[j + n - 1];
        // The true digit is below 2^64, so the estimate is clamped there; the test below then makes
        // it at most one too large, which the add-back step corrects.
        Wide qhat = numerator / top;
        if (qhat > ~Limb{0}) qhat = ~Limb{0};
        Wide rhat = numerator - qhat * top;
        while (rhat <= ~Limb{0} && qhat * second > ((rhat << 64) | u[j + n - 2])) {
            --qhat;
            rhat += top;
        }
        // u[j .. j+n] -= qhat * v
        Limb borrow = 0;
        Limb carry = 0;
        for (size_t i = 0; i < n; ++i) {
            const Wide product = qhat * v[i] + carry;
            carry = static_cast<Limb>(product >> 64);
            const Wide difference = Wide{u[i + j]} - static_cast<Limb>(product) - borrow;
            u[i + j] = static_cast<Limb>(difference);
            borrow = static_cast<Limb>(difference >> 64) & 1;
        }
        const Wide difference = Wide{u[j + n]} - carry - borrow;
        u[j + n] = static_cast<Limb>(difference);
        Limb digit = static_cast<Limb>(qhat);
        if ((difference >> 64) != 0) {
            // qhat was one too large: add the divisor back.
            --digit;
            Limb addCarry = 0;
            for (size_t i = 0; i < n; ++i) {
                const Wide sum = Wide{u[i + j]} + v[i] + addCarry;
                u[i + j] = static_cast<Limb>(sum);
                addCarry = static_cast<Limb>(sum >> 64);
            }
            u[j + n] += addCarry;
        }
        q.limbs_[j] = digit;
    }

    if (remainder != nullptr) {
        BigNum r;
        r.limbs_.assign(n, 0);
        for (size_t i = 0; i < n; ++i) {
            r.limbs_[i] = (u[i] >> shift) | (shift != 0 ? u[i + 1] << (64 - shift) : 0);
        }
        r.Normalize();
        *remainder = std::move(r);
    }
    q.Normalize();
    if (quotient != nullptr) *quotient = std::move(q);
    return true;
}

BigNum BigNum::Mod(const BigNum& a, const BigNum& m) {
    BigNum r;
    if (!DivMod(a, m, nullptr, &r)) return BigNum();
    return r;
}

BigNum BigNum::ModMul(const BigNum& a, const BigNum& b, const BigNum& m) {
    if (m.IsZero()) return BigNum();
    return Mod(Mul(a, b), m);
}

std::optional<BigNum> BigNum::ModInverse(const BigNum& a, const BigNum& m) {
    if (m.BitCount() < 2) return std::nullopt;
    // Extended Euclid with the coefficient of a kept in [0, m).
    BigNum r0 = m;
    BigNum r1 = Mod(a, m);
    BigNum t0;
    BigNum t1(1);
    while (!r1.IsZero()) {
        BigNum q, r;
        DivMod(r0, r1, &q, &r);
        const BigNum product = ModMul(q, t1, m);
        BigNum next = t0 >= product ? Sub(t0, product) : Sub(Add(t0, m), product);
        r0 = std::move(r1);
        r1 = std::move(r);
        t0 = std::move(t1);
        t1 = std::move(next);
    }
    if (!r0.IsOne()) return std::nullopt;
    return t0;
}

}  // namespace tessan::crypto
