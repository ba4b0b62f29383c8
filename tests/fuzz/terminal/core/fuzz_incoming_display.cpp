// Received data through ShowText in text and hex view with logging on. The first byte chooses
// the display type and how the rest is cut into chunks; every chunk is one read event.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "terminal/core/display.h"
#include "terminal/core/incoming_render.h"
#include "terminal/core/memory_pane.h"

namespace {

class FixedClock final : public ostrel::Clock {
public:
    ostrel::LocalDateTime Now() const override { return {2024, 12, 31, 23, 59, 59}; }
};

class CountingLog final : public ostrel::LogSink {
public:
    void LogAppend(std::string_view text) override { last.assign(text); }
    std::string last;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned control = data[0];
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);

    ostrel::MemoryPane pane;
    const ostrel::ColourTable colours = ostrel::DefaultColourTable();
    FixedClock clock;
    CountingLog log;
    ostrel::Display display(pane, colours, clock);
    display.SetLogSink(&log);
    display.SetDisplayType(static_cast<ostrel::DisplayType>(control % 3));
    const std::size_t chunk = 1 + (control >> 2);

    for (std::size_t at = 0; at < input.size(); at += chunk) {
        const std::string_view piece = std::string_view(input).substr(at, chunk);
        const std::size_t before = pane.Length();
        display.ShowText(piece, ostrel::DisplayCategory::Incoming);
        if (pane.Frozen() || pane.ChangesWhileUnfrozen() != 0) std::abort();
        if (pane.Length() > ostrel::kPaneLimit) std::abort();
        // Text view never adds more than the chunk, its line breaks and the notice.
        if (display.GetDisplayType() == ostrel::DisplayType::Text &&
            pane.Length() > before + piece.size() + 8 + ostrel::kNonPrintableNotice.size())
            std::abort();
        if (display.GetDisplayType() == ostrel::DisplayType::Hex) {
            const std::size_t rows = (piece.size() + 7) / 8;
            if (log.last.size() != rows * (2 + 21 + ostrel::kHexRowPrefixLength) + piece.size())
                std::abort();
        }
    }
    // Each rendering on its own, as pure functions.
    std::string out;
    ostrel::RenderIncomingText(input, out);
    for (const char c : out) {
        const auto b = static_cast<unsigned char>(c);
        if (!(b == 9 || b == 10 || b == 13 || (b >= 32 && b <= 126))) std::abort();
    }
    ostrel::BuildTextLog(out, "stamp>>", log.last);
    ostrel::RenderIncomingHex(input, out);
    return 0;
}
