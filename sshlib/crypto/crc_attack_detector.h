// SSH-1's packet check and the detection of the CRC-32 compensation attack on it.
//
// SSH-1 protects packets with a CRC-32 inside the encryption. CRC-32 is linear, so an attacker
// who inserts copies of one ciphertext block S into a packet of a CBC (or CFB) stream can make
// the unknown plaintext that S decrypts to cancel out of the check: each copy of S at block
// position p adds D(S) "shifted" to p, and these terms vanish together exactly when
// Σ x^(64·(last − p)) ≡ 0 modulo the CRC polynomial over the positions of S. The remaining,
// known differences the attacker compensates with further blocks. A packet is therefore
// refused when some block value occurs at a set of positions (the chaining value before the
// packet counting as position −1) whose single-bit blocks sum to a CRC of zero. Honest traffic
// repeats a 64-bit ciphertext block only by accident, and two copies alone never cancel.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessan::crypto {

// The CRC-32 of SSH-1 packets: the register of Crc32 (crc32.h) without its pre- and
// post-inversion, starting at 0. Linear: Ssh1Crc32(a ⊕ b) = Ssh1Crc32(a) ⊕ Ssh1Crc32(b) for
// inputs of equal length.
uint32_t Ssh1Crc32(const uint8_t* data, size_t length);

// True when the ciphertext `data` (`length` a multiple of 8) holds the pattern of the
// compensation attack; `chaining` is the ciphertext block before it (the previous packet's last
// block, or the zero starting value).
bool CompensationAttackDetected(const uint8_t* data, size_t length, const uint8_t chaining[8]);

}  // namespace tessan::crypto
