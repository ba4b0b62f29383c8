// The fixed tables of the deflate format (RFC 1951 section 3.2.5): the bases and extra-bit
// counts of the length and distance codes, and the order of the code-length code lengths.
#pragma once

#include <cstdint>

namespace tessan::transport::deflate {

inline constexpr int kLengthCodes = 29;  // symbols 257..285
inline constexpr uint16_t kLengthBase[kLengthCodes] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                       15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                       67, 83, 99, 115, 131, 163, 195, 227, 258};
inline constexpr uint8_t kLengthExtra[kLengthCodes] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

inline constexpr int kDistanceCodes = 30;
inline constexpr uint16_t kDistanceBase[kDistanceCodes] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
inline constexpr uint8_t kDistanceExtra[kDistanceCodes] = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                           4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                           9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

inline constexpr int kCodeLengthCodes = 19;
inline constexpr uint8_t kCodeLengthOrder[kCodeLengthCodes] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                               11, 4,  12, 3, 13, 2, 14, 1, 15};

inline constexpr int kEndOfBlock = 256;
inline constexpr uint32_t kWindowSize = 32768;
inline constexpr uint32_t kWindowMask = kWindowSize - 1;

// Block headers as emitted least significant bit first: final flag 0, then the 2-bit type.
inline constexpr uint32_t kStoredBlockHeader = 0;  // 3 bits
inline constexpr uint32_t kFixedBlockHeader = 2;   // 3 bits

}  // namespace tessan::transport::deflate
