// CRC-32 (the reflected polynomial 0xEDB88320 of ISO 3309 / ITU-T V.42): the SSH-1 packet check.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessan::crypto {

// CRC of `length` bytes, continuing from `crc` (0 for a new computation); the result is the
// finished value (pre- and post-inversion included), so Crc32(Crc32(0, a), b) == Crc32(0, a || b).
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t length);

}  // namespace tessan::crypto
