// Typed lines: decoding never grows a line, never fails, and the hex view's notation of any
// bytes decodes back to the same bytes. The formatters take the decoded bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "terminal/core/dollar_hex.h"
#include "terminal/core/formatters.h"
#include "terminal/core/send_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    const std::string decoded = ostrel::DecodeDollarHex(input);
    if (decoded.size() > input.size()) std::abort();

    std::string typed = ostrel::EncodeDollarHex(input);
    if (typed.size() != (size == 0 ? 0 : 4 * size - 1)) std::abort();
    std::erase(typed, ' ');
    if (ostrel::DecodeDollarHex(typed) != input) std::abort();

    const std::string bytes = ostrel::LineBytes(ostrel::TakeInputLine(input, size / 3, size / 2));
    if (ostrel::FormatExtron(bytes).size() < bytes.size()) std::abort();
    (void)ostrel::FormatAmx(bytes);
    (void)ostrel::FormatCrestron(bytes);
    (void)ostrel::BuildNetLinxPassThrough(input, input);
    return 0;
}
