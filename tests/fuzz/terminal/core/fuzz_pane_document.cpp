// The output pane's layout under any stream of received bytes: appends of random pieces, cuts
// by the size rule, new widths, and the queries of painting and pointing. The layout must keep
// the bytes, agree with a plain split into lines, and answer every query inside the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "terminal/core/pane_document.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

std::vector<std::string> ReferenceLines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (c == '\n' || c == '\r')
            lines.emplace_back();
        else
            lines.back() += c;
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ostrel::PaneDocument pane;
    std::string expected;
    std::size_t i = 0;
    while (i < size) {
        const unsigned op = data[i++];
        const std::size_t n = i < size ? data[i++] : 0;
        switch (op % 4) {
            case 0:
            case 1: {  // append up to n bytes in one colour
                const std::size_t take = std::min(n, size - i);
                const std::string piece(reinterpret_cast<const char*>(data + i), take);
                i += take;
                pane.Append(piece, op);
                expected += piece;
                break;
            }
            case 2:  // the size rule, scaled down
                if (expected.size() > n) {
                    pane.KeepTail(n);
                    expected.erase(0, expected.size() - n);
                }
                break;
            case 3:
                pane.SetWrapColumns(n % 40);
                break;
        }
    }
    Check(pane.Text() == expected);
    const std::vector<std::string> lines = ReferenceLines(expected);
    Check(pane.LineCount() == lines.size());
    std::vector<std::string> fromRows(pane.LineCount());
    for (std::size_t row = 0; row < pane.RowCount(); ++row) {
        const ostrel::PaneDocument::Row r = pane.RowAt(row);
        Check(r.begin <= r.end && r.end <= expected.size() && r.line < lines.size());
        fromRows[r.line] += expected.substr(r.begin, r.end - r.begin);
        for (std::size_t column = 0; column < 50; column += 7)
            Check(pane.PositionAt(row, column) <= expected.size());
        if (r.begin < r.end) Check(pane.RowOf(r.begin) == row);
    }
    Check(fromRows == lines);
    for (std::size_t p = 0; p <= expected.size(); p += 1 + expected.size() / 64)
        Check(pane.RowOf(p) < pane.RowCount());
    return 0;
}
