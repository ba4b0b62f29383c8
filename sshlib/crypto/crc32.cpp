#include "crypto/crc32.h"

#include <array>

namespace tessan::crypto {
namespace {

// Slicing-by-4 tables: kTables[0] is the classic byte table, kTables[k] advances k more bytes.
constexpr std::array<std::array<uint32_t, 256>, 4> MakeTables() {
    std::array<std::array<uint32_t, 256>, 4> tables{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
        tables[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i) {
        for (int t = 1; t < 4; ++t) {
            const uint32_t previous = tables[t - 1][i];
            tables[t][i] = (previous >> 8) ^ tables[0][previous & 0xff];
        }
    }
    return tables;
}

constexpr auto kTables = MakeTables();

}  // namespace

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t length) {
    crc = ~crc;
    while (length >= 4) {
        crc ^= uint32_t{data[0]} | (uint32_t{data[1]} << 8) | (uint32_t{data[2]} << 16) |
               (uint32_t{data[3]} << 24);
        crc = kTables[3][crc & 0xff] ^ kTables[2][(crc >> 8) & 0xff] ^
              kTables[1][(crc >> 16) & 0xff] ^ kTables[0][crc >> 24];
        data += 4;
        length -= 4;
    }
    while (length-- != 0)
        crc = (crc >> 8) ^ kTables[0][(crc ^ *data++) & 0xff];
    return ~crc;
}

}  // namespace tessan::crypto
