#include "terminal/core/pane_document.h"

#include <gtest/gtest.h>

#include <random>

namespace ostrel {
namespace {

// The lines of a text by the pane's rules, computed the plain way: split at LF, CR LF and lone
// CR. Each entry is the shown bytes of one line.
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

std::size_t ReferenceColumns(const std::string& line) {
    std::size_t column = 0;
    for (char c : line)
        column = NextColumn(column, c);
    return column;
}

std::vector<std::string> DocumentLines(const PaneDocument& d) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < d.LineCount(); ++i)
        lines.push_back(d.Text().substr(d.LineStart(i), d.LineEnd(i) - d.LineStart(i)));
    return lines;
}

// Every row's bytes, joined per line, give the line back; rows hold at most `wrap` cells.
void ExpectRowsCoverLines(const PaneDocument& d) {
    std::vector<std::string> rebuilt(d.LineCount());
    std::size_t previousLine = 0;
    for (std::size_t row = 0; row < d.RowCount(); ++row) {
        const PaneDocument::Row r = d.RowAt(row);
        ASSERT_GE(r.line, previousLine);
        previousLine = r.line;
        rebuilt[r.line] += d.Text().substr(r.begin, r.end - r.begin);
        // (Rows a wide tab covers entirely hold no byte of their own.)
        if (r.begin < r.end) {
            EXPECT_EQ(d.RowOf(r.begin), row) << "row " << row;
        }
    }
    EXPECT_EQ(rebuilt, DocumentLines(d));
}

TEST(PaneDocument, LineBreaksOfEveryKind) {
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {""}},
        {"abc", {"abc"}},
        {"a\r\nb", {"a", "b"}},
        {"a\nb\rc", {"a", "b", "c"}},
        {"a\r\rb", {"a", "", "b"}},
        {"a\n\r\nb", {"a", "", "b"}},
        {"\r\n", {"", ""}},
        {"end\r", {"end", ""}},
        {"x\ty", {"x\ty"}},
    };
    for (const Case& c : cases) {
        PaneDocument d;
        d.Append(c.text, 1);
        EXPECT_EQ(DocumentLines(d), c.lines) << c.text;
        EXPECT_EQ(d.Text(), c.text);
    }
}

TEST(PaneDocument, AppendingInPiecesEqualsAppendingAtOnce) {
    // Split at every point, so CR LF pairs split across appends are covered.
    std::mt19937 random(11);
    const char alphabet[] = {'a', 'b', '\r', '\n', '\t', ' ', '\x01', '\xe9'};
    for (int round = 0; round < 200; ++round) {
        std::string text(1 + random() % 60, ' ');
        for (char& c : text)
            c = alphabet[random() % sizeof alphabet];
        PaneDocument whole;
        whole.SetWrapColumns(7);
        whole.Append(text, 3);
        for (std::size_t split = 0; split <= text.size(); ++split) {
            PaneDocument pieces;
            pieces.SetWrapColumns(7);
            pieces.Append(text.substr(0, split), 3);
            pieces.Append(text.substr(split), 3);
            ASSERT_EQ(DocumentLines(pieces), DocumentLines(whole)) << round << "/" << split;
            ASSERT_EQ(pieces.RowCount(), whole.RowCount());
        }
        EXPECT_EQ(DocumentLines(whole), ReferenceLines(text));
        ExpectRowsCoverLines(whole);
    }
}

TEST(PaneDocument, WrappingCountsCellsAndTabStops) {
    PaneDocument d;
    d.SetWrapColumns(10);
    d.Append(std::string(25, 'x') + "\r\n" + "\tab\tc" + "\n" + std::string(10, 'y'), 1);
    // 25 cells -> 3 rows; "\tab\tc" = 8+2 -> tab to 16 + 1 = 17 cells -> 2 rows; 10 cells -> 1.
    EXPECT_EQ(d.RowCount(), 6u);
    EXPECT_EQ(d.RowAt(2).begin, 20u);
    EXPECT_EQ(d.RowAt(2).end, 25u);
    const PaneDocument::Row tabRow = d.RowAt(4);  // second row of the tab line
    EXPECT_EQ(d.Text().substr(tabRow.begin, tabRow.end - tabRow.begin), "\tc");
    EXPECT_EQ(d.ColumnOf(tabRow.begin + 1), 16u);
    ExpectRowsCoverLines(d);

    d.SetWrapColumns(0);  // no wrapping: one row per line
    EXPECT_EQ(d.RowCount(), 3u);
    d.SetWrapColumns(1);
    EXPECT_EQ(d.RowCount(), 25u + 17u + 10u);
    ExpectRowsCoverLines(d);
}

TEST(PaneDocument, KeepTailKeepsBytesColoursAndLines) {
    PaneDocument d;
    d.SetWrapColumns(4);
    d.Append("first\r\n", 1);
    d.Append("second\r\nthird", 2);
    d.KeepTail(12);  // "cond\r\nthird" preceded by "e"
    EXPECT_EQ(d.Text(), "econd\r\nthird");
    EXPECT_EQ(d.ColourAt(0), 2u);
    EXPECT_EQ(DocumentLines(d), (std::vector<std::string>{"econd", "third"}));
    EXPECT_EQ(d.RowCount(), 4u);
    // A cut between CR and LF leaves a leading LF: an empty first line.
    d.KeepTail(6);
    EXPECT_EQ(d.Text(), "\nthird");
    EXPECT_EQ(DocumentLines(d), (std::vector<std::string>{"", "third"}));
    ExpectRowsCoverLines(d);
}

TEST(PaneDocument, PointingFindsTheNearestEdge) {
    PaneDocument d;
    d.SetWrapColumns(20);
    d.Append("ab\tc\r\nxyz", 1);
    EXPECT_EQ(d.PositionAt(0, 0), 0u);
    EXPECT_EQ(d.PositionAt(0, 2), 2u);
    EXPECT_EQ(d.PositionAt(0, 4), 2u);   // nearer the tab's left edge (2..8)
    EXPECT_EQ(d.PositionAt(0, 6), 3u);   // nearer its right edge
    EXPECT_EQ(d.PositionAt(0, 99), 4u);  // past the end of the line
    EXPECT_EQ(d.PositionAt(1, 1), 7u);
    EXPECT_EQ(d.PositionAt(5, 0), 6u);   // beyond the last row: the last row
}

TEST(PaneDocument, LargeStreamStaysIndexedWithinItsSize) {
    PaneDocument d;
    d.SetWrapColumns(80);
    const std::string chunk = std::string(70, 'z') + "\r\n";
    std::size_t appended = 0;
    while (appended < 2'000'000) {
        d.Append(chunk, 1);
        appended += chunk.size();
        if (d.Length() > 850000) d.KeepTail(550000);
    }
    EXPECT_LE(d.Length(), 850000u);
    EXPECT_EQ(DocumentLines(d), ReferenceLines(d.Text()));
    std::size_t rows = 0;
    for (const std::string& line : ReferenceLines(d.Text()))
        rows += std::max<std::size_t>(1, (ReferenceColumns(line) + 79) / 80);
    EXPECT_EQ(d.RowCount(), rows);
}

}  // namespace
}  // namespace ostrel
