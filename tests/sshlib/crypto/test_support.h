// Helpers shared by the crypto tests: hex, the published vector files, and OpenSSL as an oracle.
#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "crypto/bignum.h"

namespace tessan::crypto::test {

using Bytes = std::vector<uint8_t>;

Bytes Hex(std::string_view hex);  // odd lengths get a leading zero nibble
std::string ToHex(const uint8_t* data, size_t length);
inline std::string ToHex(const Bytes& data) {
    return ToHex(data.data(), data.size());
}
inline Bytes ToBytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}
inline BigNum HexNumber(std::string_view hex) {
    return BigNum::FromBytes(Hex(hex));
}

// Path of a file under tests/data (from OSTREL_TESTDATA).
std::string DataPath(std::string_view relative);

// One record of a "NAME = value" vector file: its [section] and fields (upper-cased names
// keep their spelling). Records end at blank lines and section headers.
struct Record {
    std::string section;
    std::map<std::string, std::string> fields;
    bool Has(const std::string& name) const { return fields.count(name) != 0; }
    const std::string& operator[](const std::string& name) const { return fields.at(name); }
};
std::vector<Record> ReadRecords(std::string_view relative);

nlohmann::json ReadJson(std::string_view relative);

// A deterministic generator per test so failures reproduce.
std::mt19937_64& Rng();
Bytes RandomBytesForTest(size_t length);
size_t RandomSize(size_t low, size_t high);  // inclusive

// Parameter name for tests run with the fast paths (false) and with portable code forced (true).
inline std::string PathName(const ::testing::TestParamInfo<bool>& param) {
    return param.param ? "Portable" : "Native";
}

// Loads OpenSSL's legacy provider (DES, Blowfish, RC4) once; true when available.
bool LoadOpenSslLegacy();

}  // namespace tessan::crypto::test
