// The text behind the output pane, laid out for a monospace font: bytes with their colour runs,
// an index of lines, and the rows those lines wrap into at a given width. It maps bytes to
// character cells one to one, so lengths and positions are byte counts, and the text comes back
// byte for byte.
//
// Lines end at LF, at CR LF, and at a CR not followed by LF (a CR at the very end waits to see
// whether an LF follows in the next append). The break characters are not shown. A TAB advances
// to the next multiple of kTabWidth cells. Every operation costs time in proportion to what it
// adds or, for a cut or a new width, to the text kept; memory is a fixed amount per byte and per
// line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "terminal/core/colour_table.h"
#include "terminal/core/memory_pane.h"

namespace ostrel {

class PaneDocument {
public:
    static constexpr std::size_t kTabWidth = 8;

    struct Row {
        std::size_t line = 0;
        std::size_t begin = 0;  // bytes [begin, end) of the line shown on the row
        std::size_t end = 0;
        std::size_t firstColumn = 0;  // the line's column at the row's left edge
    };

    PaneDocument();

    void Append(std::string_view text, Colour colour);
    // Keeps the last count bytes (with their colours).
    void KeepTail(std::size_t count);
    void Clear();

    std::size_t Length() const { return store_.Length(); }
    const std::string& Text() const { return store_.Text(); }
    Colour ColourAt(std::size_t position) const { return store_.ColourAt(position); }
    const std::vector<MemoryPane::Run>& Runs() const { return store_.Runs(); }

    std::size_t LineCount() const { return lines_.size(); }
    std::size_t LineStart(std::size_t line) const { return lines_[line].start; }
    // The end of the line's shown bytes (its break characters follow).
    std::size_t LineEnd(std::size_t line) const;
    // The line holding a position (a break character belongs to the line it ends).
    std::size_t LineOf(std::size_t position) const;

    // Cells per row; 0 does not wrap (one row per line).
    void SetWrapColumns(std::size_t columns);
    std::size_t WrapColumns() const { return wrap_; }
    std::size_t RowCount() const { return totalRows_; }
    Row RowAt(std::size_t row) const;
    std::size_t RowOf(std::size_t position) const;
    // The column of a position within its line.
    std::size_t ColumnOf(std::size_t position) const;
    // The position closest to a cell of a row, for pointing with the mouse.
    std::size_t PositionAt(std::size_t row, std::size_t column) const;

private:
    struct Line {
        std::size_t start = 0;
        std::size_t columns = 0;  // cells the line's shown bytes take
        bool hasTab = false;
    };

    std::size_t RowsOf(const Line& line) const;
    // Indexes the text from position on, continuing the last line.
    void IndexFrom(std::size_t position);
    // Recomputes the first row of every line from line on.
    void RowsFrom(std::size_t line);

    MemoryPane store_;
    std::vector<Line> lines_;
    std::vector<std::size_t> firstRow_;  // first row of each line
    std::size_t totalRows_ = 1;
    std::size_t wrap_ = 0;
};

// The cell a byte advances to from column: TAB to the next tab stop, anything else by one.
constexpr std::size_t NextColumn(std::size_t column, char byte) {
    return byte == '\t' ? (column / PaneDocument::kTabWidth + 1) * PaneDocument::kTabWidth
                        : column + 1;
}

}  // namespace ostrel
