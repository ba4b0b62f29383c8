// The telnet command template on arbitrary patterns: no crash, and the output stays within
// what the pattern can produce (each byte of the pattern yields at most one field's text).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "sshlib/transport/proxy_telnet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view pattern(reinterpret_cast<const char*>(data), size);
    tessan::TelnetCommandFields fields{"host.example", 22, "user", "password", "proxy.example",
                                       8080};
    std::string out = tessan::ExpandTelnetCommand(pattern, fields);
    if (out.size() > size * 13) abort();  // "proxy.example" is the longest field
    return 0;
}
