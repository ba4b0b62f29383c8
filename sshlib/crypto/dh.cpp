#include "crypto/dh.h"

#include <cassert>
#include <vector>

#include "crypto/random_pool.h"

namespace tessan::crypto {
namespace {

constexpr size_t kMinGroupBits = 1024;
constexpr size_t kMaxGroupBits = 8192;
constexpr uint32_t kTrialDivisionLimit = 2000;

// The odd primes below the limit, by a sieve made once.
const std::vector<uint32_t>& SmallOddPrimes() {
    static const std::vector<uint32_t> primes = [] {
        std::vector<bool> composite(kTrialDivisionLimit, false);
        std::vector<uint32_t> found;
        for (uint32_t n = 3; n < kTrialDivisionLimit; n += 2) {
            if (composite[n]) continue;
            found.push_back(n);
            for (uint32_t m = n * n; m < kTrialDivisionLimit; m += 2 * n)
                composite[m] = true;
        }
        return found;
    }();
    return primes;
}

// p mod d for a small d, limb by limb from the top (p is public: no need for constant time).
uint32_t SmallRemainder(const BigNum& p, uint32_t d) {
    UInt128 remainder = 0;
    const BigNum::Limbs& limbs = p.LimbArray();
    for (size_t i = limbs.size(); i-- > 0;)
        remainder = ((remainder << 64) | limbs[i]) % d;
    return static_cast<uint32_t>(remainder);
}

}  // namespace

std::string ServerGroupProblem(const BigNum& p, const BigNum& g) {
    // A tiny or even p would leave no exponent 1 < x < q to pick, a composite p breaks the
    // group's size, and g = 1 or p - 1 makes the shared secret guessable.
    const size_t bits = p.BitCount();
    if (bits < kMinGroupBits || bits > kMaxGroupBits) {
        return "a prime of " + std::to_string(bits) + " bits (" + std::to_string(kMinGroupBits) +
               " to " + std::to_string(kMaxGroupBits) + " are accepted)";
    }
    if (!p.IsOdd()) return "an even prime";
    for (uint32_t prime : SmallOddPrimes()) {
        if (SmallRemainder(p, prime) == 0) return "a prime divisible by " + std::to_string(prime);
    }
    if (g <= BigNum(1) || g >= BigNum::Sub(p, BigNum(1))) return "a generator outside 2..p-2";
    return {};
}

DiffieHellman::DiffieHellman() : random_(RandomByte) {}
DiffieHellman::DiffieHellman(RandomSource random) : random_(std::move(random)) {}

void DiffieHellman::Setup(BigNum p, BigNum g) {
    Clear();
    p_ = std::move(p);
    g_ = std::move(g);
    q_ = p_.ShiftRight(1);
    // 2^bits(q) - 1
    const size_t bits = q_.BitCount();
    qmask_ = BigNum(1).ShiftLeft(bits);
    qmask_ = BigNum::Sub(qmask_, BigNum(1));
}

bool DiffieHellman::SetupGroup(const KexDescriptor& kex) {
    if (kex.IsGroupExchange()) return false;
    Setup(BigNum::FromBytes(kex.prime), BigNum::FromBytes(kex.generator));
    return true;
}

bool DiffieHellman::SetupServerGroup(const BigNum& p, const BigNum& g) {
    if (!ServerGroupProblem(p, g).empty()) return false;
    Setup(p, g);
    return true;
}

const BigNum& DiffieHellman::CreateE(size_t bits) {
    const size_t maskBits = qmask_.BitCount();
    const BigNum one(1);
    assert(maskBits >= 2 && "CreateE needs a set-up group");
    if (maskBits < 2) return e_;
    for (;;) {
        x_.Wipe();
        // 2^bits plus random low bits always lies below q when bits + 1 < bits(q); for larger
        // requests it never or hardly ever would, so those take the masked form instead of looping.
        if (bits == 0 || bits + 1 >= maskBits) {
            std::vector<uint8_t, WipingAllocator<uint8_t>> bytes(qmask_.ByteCount());
            for (size_t i = 0; i < bytes.size(); ++i) {
                bytes[i] = static_cast<uint8_t>(qmask_.Byte(bytes.size() - 1 - i) & random_());
            }
            x_ = BigNum::FromBytes(bytes);
        } else {
            x_.SetBit(bits);
            uint8_t byte = 0;
            for (size_t i = 0; i < bits; ++i) {
                if (i % 8 == 0) byte = random_();
                if ((byte >> (i % 8)) & 1) x_.SetBit(i);
            }
            byte = 0;
        }
        if (x_ > one && x_ < q_) break;
    }
    e_ = BigNum::ModExpSecret(g_, x_, p_, p_.BitCount());
    return e_;
}

std::optional<BigNum> DiffieHellman::FindK(const BigNum& f) const {
    assert(!x_.IsZero() && "FindK needs CreateE first");
    if (f.IsZero() || f >= p_ || x_.IsZero()) return std::nullopt;
    return BigNum::ModExpSecret(f, x_, p_, p_.BitCount());
}

void DiffieHellman::Clear() {
    p_.Wipe();
    g_.Wipe();
    q_.Wipe();
    qmask_.Wipe();
    x_.Wipe();
    e_.Wipe();
}

}  // namespace tessan::crypto
