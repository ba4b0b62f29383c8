// Typed lines: decoding never grows a line, never fails, and the hex view's notation of any
// bytes decodes back to the same bytes; the malformed escapes it names change nothing of what
// is sent, and the well-formed notation has none. Typed text in the terminal's character set
// comes back from its text. The formatters take the decoded bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "terminal/core/code_page.h"
#include "terminal/core/dollar_hex.h"
#include "terminal/core/formatters.h"
#include "terminal/core/send_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    const std::string decoded = ostrel::DecodeDollarHex(input);
    if (decoded.size() > input.size()) std::abort();
    std::vector<ostrel::MalformedEscape> malformed;
    if (ostrel::DecodeDollarHex(input, &malformed) != decoded) std::abort();
    for (const ostrel::MalformedEscape& escape : malformed)
        if (escape.written.empty() || escape.written.size() > 3 || escape.sent.size() > 3 ||
            ostrel::MalformedEscapeLine(escape).empty())
            std::abort();

    std::string typed = ostrel::EncodeDollarHex(input);
    if (typed.size() != (size == 0 ? 0 : 4 * size - 1)) std::abort();
    std::erase(typed, ' ');
    malformed.clear();
    if (ostrel::DecodeDollarHex(typed, &malformed) != input || !malformed.empty()) std::abort();

    // Any input as typed (UTF-8 or not): its bytes, and back to text and bytes again.
    std::string bytes8;
    const auto lacking = ostrel::Utf8ToWindows1252(input, bytes8);
    if (bytes8.size() > input.size() || (lacking && lacking->empty())) std::abort();
    std::string again;
    if (ostrel::Utf8ToWindows1252(ostrel::Windows1252ToUtf8(bytes8), again) || again != bytes8)
        std::abort();
    if (ostrel::PaneTextOfUtf8(input).size() > input.size()) std::abort();

    const std::string bytes = ostrel::LineBytes(ostrel::TakeInputLine(input, size / 3, size / 2));
    if (ostrel::FormatExtron(bytes).size() < bytes.size()) std::abort();
    (void)ostrel::FormatAmx(bytes);
    (void)ostrel::FormatCrestron(bytes);
    (void)ostrel::BuildNetLinxPassThrough(input, input);
    return 0;
}
