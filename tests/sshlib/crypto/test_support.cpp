#include "test_support.h"

#include <openssl/provider.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tessan::crypto::test {

Bytes Hex(std::string_view hex) {
    std::string digits;
    for (char c : hex) {
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    }
    if (digits.size() % 2) digits.insert(digits.begin(), '0');
    Bytes out(digits.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<uint8_t>(std::stoi(digits.substr(2 * i, 2), nullptr, 16));
    return out;
}

std::string ToHex(const uint8_t* data, size_t length) {
    static const char* kDigits = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < length; ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 15];
    }
    return out;
}

std::string DataPath(std::string_view relative) {
    const char* root = std::getenv("OSTREL_TESTDATA");
    if (root == nullptr) throw std::runtime_error("OSTREL_TESTDATA is not set (run through ctest)");
    return std::string(root) + "/" + std::string(relative);
}

namespace {

std::string Trim(std::string s) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && isSpace(s.back()))
        s.pop_back();
    size_t start = 0;
    while (start < s.size() && isSpace(s[start]))
        ++start;
    return s.substr(start);
}

std::string ReadFile(std::string_view relative) {
    std::ifstream in(DataPath(relative), std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + DataPath(relative));
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

}  // namespace

std::vector<Record> ReadRecords(std::string_view relative) {
    std::istringstream in(ReadFile(relative));
    std::vector<Record> records;
    Record current;
    std::string section;
    auto flush = [&]() {
        if (!current.fields.empty()) records.push_back(current);
        current = Record{section, {}};
    };
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty()) {
            flush();
            continue;
        }
        if (line[0] == '#') continue;
        if (line[0] == '[') {
            flush();
            section = line.substr(1, line.find(']') - 1);
            current.section = section;
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        current.fields[Trim(line.substr(0, equals))] = Trim(line.substr(equals + 1));
    }
    flush();
    return records;
}

nlohmann::json ReadJson(std::string_view relative) {
    return nlohmann::json::parse(ReadFile(relative));
}

std::mt19937_64& Rng() {
    static std::mt19937_64 rng(0x7e55a9);
    return rng;
}

Bytes RandomBytesForTest(size_t length) {
    Bytes out(length);
    for (auto& b : out)
        b = static_cast<uint8_t>(Rng()());
    return out;
}

size_t RandomSize(size_t low, size_t high) {
    return std::uniform_int_distribution<size_t>(low, high)(Rng());
}

namespace {

// Unloaded at exit so leak checking sees OpenSSL's provider state released.
struct Providers {
    OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
    OSSL_PROVIDER* standard = OSSL_PROVIDER_load(nullptr, "default");
    ~Providers() {
        if (legacy != nullptr) OSSL_PROVIDER_unload(legacy);
        if (standard != nullptr) OSSL_PROVIDER_unload(standard);
    }
};

}  // namespace

bool LoadOpenSslLegacy() {
    static const Providers providers;
    return providers.legacy != nullptr && providers.standard != nullptr;
}

}  // namespace tessan::crypto::test
