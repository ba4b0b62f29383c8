// The numeric address parser on arbitrary text: no crash, and every accepted text prints back
// to an address that parses to the same value.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "sshlib/transport/address_parse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::optional<uint32_t> address = tessan::ParseNumericAddress(text);
    if (!address) return 0;
    char dotted[16];
    std::snprintf(dotted, sizeof dotted, "%u.%u.%u.%u", *address >> 24, (*address >> 16) & 255,
                  (*address >> 8) & 255, *address & 255);
    if (tessan::ParseNumericAddress(dotted) != address) abort();
    return 0;
}
