// DES and triple DES (FIPS 46-3). Blocks are handled as two 32-bit halves (the big-endian words
// of the 8-byte block); parity bits of the keys are ignored.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessan::crypto {

class Des {
public:
    Des() = default;
    ~Des();
    Des(const Des&) = default;
    Des& operator=(const Des&) = default;

    void SetKey(const uint8_t key[8]);

    // One block in place; `left` and `right` are the block's first and second big-endian words.
    void Encrypt(uint32_t& left, uint32_t& right) const;
    void Decrypt(uint32_t& left, uint32_t& right) const;

    // The sixteen rounds alone, without the initial and final permutations, for triple DES to
    // chain three keys with one permutation pair. `decrypt` runs the subkeys backwards.
    void Rounds(uint32_t& left, uint32_t& right, bool decrypt) const;

private:
    // Per round two words holding the eight 6-bit subkey groups in the byte layout the round
    // function reads (see des.cpp).
    uint32_t subkeys_[32] = {};
};

// Three-key triple DES, encrypt = E(k1) D(k2) E(k3), decrypt = D(k3) E(k2) D(k1).
class TripleDes {
public:
    // 24 bytes: k1 = bytes 0-7, k2 = 8-15, k3 = 16-23.
    void SetKey(const uint8_t key[24]);
    void Encrypt(uint32_t& left, uint32_t& right) const;
    void Decrypt(uint32_t& left, uint32_t& right) const;

private:
    Des keys_[3];
};

// The initial permutation and its inverse on a block held as two big-endian words.
void DesInitialPermutation(uint32_t& left, uint32_t& right);
void DesFinalPermutation(uint32_t& left, uint32_t& right);

}  // namespace tessan::crypto
