// Diffie-Hellman for the SSH-2 key exchange: a fixed group (group 1, group 14) or a group sent by
// the server in a group exchange; the private exponent, e = g^x mod p, and K = f^x mod p.
//
// The private exponent x is secret: both exponentiations with it run in time independent of its
// bits, and x is wiped when the object is cleared or destroyed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "crypto/bignum.h"
#include "crypto/kex.h"

namespace tessan::crypto {

// Why a group a server sent cannot be used ("" when it can): p even, p outside 1024..8192 bits,
// p divisible by a prime below 2000 (a cheap sign of a composite "prime"), or g outside 2..p-2.
std::string ServerGroupProblem(const BigNum& p, const BigNum& g);

class DiffieHellman {
public:
    // Source of random bytes; the process-wide random pool unless a test supplies its own.
    using RandomSource = std::function<uint8_t()>;

    DiffieHellman();
    explicit DiffieHellman(RandomSource random);
    ~DiffieHellman() { Clear(); }
    DiffieHellman(const DiffieHellman&) = delete;
    DiffieHellman& operator=(const DiffieHellman&) = delete;

    // Takes p and g from a fixed-group descriptor. False for a group-exchange descriptor.
    bool SetupGroup(const KexDescriptor& kex);
    // Takes the p and g a server sent. False (and nothing kept) when ServerGroupProblem finds
    // the group unusable.
    bool SetupServerGroup(const BigNum& p, const BigNum& g);

    // Chooses x with 1 < x < q = (p-1)/2 and returns e = g^x mod p. With 0 < bits < bits(q) - 1,
    // x is 2^bits plus `bits` random low bits (exactly bits + 1 bits long); otherwise x is q's
    // all-ones mask ANDed with random bytes, drawn again until it lies in range. Requires a set-up
    // group.
    const BigNum& CreateE(size_t bits);

    // K = f^x mod p, or nothing when f is outside 1 .. p-1 (or no exponent was created).
    std::optional<BigNum> FindK(const BigNum& f) const;

    // Frees p, g, q, the mask, x and e.
    void Clear();

    const BigNum& Prime() const { return p_; }          // p
    const BigNum& Generator() const { return g_; }      // g
    const BigNum& SubgroupOrder() const { return q_; }  // q = (p - 1) / 2
    const BigNum& PublicValue() const { return e_; }    // e, after CreateE
    // The secret exponent, for tests only.
    const BigNum& PrivateExponentForTest() const { return x_; }

private:
    void Setup(BigNum p, BigNum g);

    RandomSource random_;
    BigNum p_, g_, q_, qmask_, x_, e_;
};

}  // namespace tessan::crypto
