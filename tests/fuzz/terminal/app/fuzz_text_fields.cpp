// Text fields that come from outside (dialogs, session files, the clipboard, the command line):
// lenient numbers, the paste rule, the request box's line breaks, the command-line session file
// and the status texts built from any host, port and serial values. None may crash or grow
// without bound, and each keeps its rule.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "terminal/app/startup_text.h"
#include "terminal/core/paste_rule.h"
#include "terminal/session/http_request.h"
#include "terminal/session/status_text.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// Reference for ReadNumber: the same reading done with wide arithmetic and clamped at the end.
std::int64_t ReferenceNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long double value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10 + (text[i] - '0');
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int64_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    Check(ostrel::ReadNumber(input) == ReferenceNumber(input));

    const std::string pasted = ostrel::DollarPasteText(input);
    Check(pasted.find('\r') == std::string::npos && pasted.find('\n') == std::string::npos);
    Check(pasted.size() <= input.size() * 6);

    const std::string box = ostrel::RequestToBoxText(input);
    Check(box.find('\r') == std::string::npos);
    const std::string back = ostrel::RequestFromBoxText(box);
    Check(ostrel::RequestToBoxText(back) == box);

    std::vector<std::string> arguments;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= input.size(); ++i)
        if (i == input.size() || input[i] == '\0') {
            arguments.push_back(input.substr(start, i - start));
            start = i + 1;
        }
    if (const auto file = ostrel::SessionFileArgument(arguments)) Check(file->size() <= input.size());

    ostrel::SessionSettings s;
    const std::size_t third = input.size() / 3;
    s.host = input.substr(0, third);
    s.port = input.substr(third, third);
    s.serialPort = input.substr(2 * third);
    s.inUse = true;
    if (size > 0) {
        s.type = static_cast<ostrel::SessionType>(data[0] % 8);
        s.state = static_cast<ostrel::ConnectionState>(data[size - 1] % 6);
        s.parity = static_cast<ostrel::Parity>(data[0] % 7);
        s.stopBits = static_cast<ostrel::StopBits>(data[size / 2] % 4);
        s.flow = static_cast<ostrel::FlowControl>(data[size - 1] % 4);
        s.baud = ostrel::ReadNumber(s.port);
    }
    if (const auto text = ostrel::SessionStatusText(s)) Check(text->size() <= input.size() + 64);
    return 0;
}
