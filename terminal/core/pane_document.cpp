#include "terminal/core/pane_document.h"

#include <algorithm>
#include <cassert>

namespace ostrel {

PaneDocument::PaneDocument() {
    Clear();
}

void PaneDocument::Clear() {
    store_.Clear();
    lines_.assign(1, Line{});
    firstRow_.assign(1, 0);
    totalRows_ = 1;
}

void PaneDocument::Append(std::string_view text, Colour colour) {
    if (text.empty()) return;
    const std::size_t oldSize = Length();
    const bool pendingCr = oldSize > 0 && Text()[oldSize - 1] == '\r';
    store_.AppendColored(text, colour);
    const std::size_t changedLine = lines_.size() - 1;
    std::size_t from = oldSize;
    if (pendingCr && text.front() == '\n') {
        // The CR that ended the text was the first half of a CR LF: the line opened after it
        // starts after the LF instead.
        lines_.back().start = oldSize + 1;
        from = oldSize + 1;
    }
    IndexFrom(from);
    RowsFrom(changedLine);
}

void PaneDocument::KeepTail(std::size_t count) {
    if (count >= Length()) return;
    store_.KeepTail(count);
    lines_.assign(1, Line{});
    IndexFrom(0);
    firstRow_.clear();
    RowsFrom(0);
}

void PaneDocument::IndexFrom(std::size_t position) {
    const std::string& text = Text();
    Line* line = &lines_.back();
    std::size_t column = line->columns;
    for (std::size_t i = position; i < text.size(); ++i) {
        const char c = text[i];
        const bool lineBreak =
            c == '\n' || (c == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
        if (lineBreak) {
            line->columns = column;
            lines_.push_back(Line{i + 1, 0, false});
            line = &lines_.back();
            column = 0;
        } else if (c != '\r') {
            if (c == '\t') line->hasTab = true;
            column = NextColumn(column, c);
        }
    }
    line->columns = column;
}

std::size_t PaneDocument::RowsOf(const Line& line) const {
    if (wrap_ == 0 || line.columns <= wrap_) return 1;
    return (line.columns + wrap_ - 1) / wrap_;
}

void PaneDocument::RowsFrom(std::size_t line) {
    firstRow_.resize(lines_.size());
    std::size_t row = line == 0 ? 0 : firstRow_[line - 1] + RowsOf(lines_[line - 1]);
    for (std::size_t i = line; i < lines_.size(); ++i) {
        firstRow_[i] = row;
        row += RowsOf(lines_[i]);
    }
    totalRows_ = row;
}

void PaneDocument::SetWrapColumns(std::size_t columns) {
    if (columns == wrap_) return;
    wrap_ = columns;
    RowsFrom(0);
}

std::size_t PaneDocument::LineEnd(std::size_t line) const {
    assert(line < lines_.size());
    if (line + 1 == lines_.size()) return Length();
    const std::string& text = Text();
    std::size_t end = lines_[line + 1].start - 1;  // the break character
    if (text[end] == '\n' && end > lines_[line].start && text[end - 1] == '\r') --end;
    return end;
}

std::size_t PaneDocument::LineOf(std::size_t position) const {
    const auto it = std::upper_bound(lines_.begin(), lines_.end(), position,
                                     [](std::size_t p, const Line& l) { return p < l.start; });
    return static_cast<std::size_t>(it - lines_.begin()) - 1;
}

PaneDocument::Row PaneDocument::RowAt(std::size_t row) const {
    row = std::min(row, totalRows_ - 1);
    const auto it = std::upper_bound(firstRow_.begin(), firstRow_.end(), row);
    Row result;
    result.line = static_cast<std::size_t>(it - firstRow_.begin()) - 1;
    const Line& line = lines_[result.line];
    const std::size_t end = LineEnd(result.line);
    const std::size_t first = wrap_ == 0 ? 0 : (row - firstRow_[result.line]) * wrap_;
    const std::size_t last = wrap_ == 0 ? line.columns : first + wrap_;  // exclusive
    if (!line.hasTab) {
        result.begin = std::min(line.start + first, end);
        result.end = std::min(line.start + last, end);
        result.firstColumn = first;
        return result;
    }
    // A byte belongs to the row its first cell falls on.
    const std::string& text = Text();
    std::size_t column = 0;
    std::size_t p = line.start;
    while (p < end && column < first)
        column = NextColumn(column, text[p++]);
    result.begin = p;
    result.firstColumn = first;
    while (p < end && column < last)
        column = NextColumn(column, text[p++]);
    result.end = p;
    return result;
}

std::size_t PaneDocument::ColumnOf(std::size_t position) const {
    const std::size_t lineIndex = LineOf(position);
    const Line& line = lines_[lineIndex];
    const std::size_t end = std::min(position, LineEnd(lineIndex));
    if (!line.hasTab) return end - line.start;
    const std::string& text = Text();
    std::size_t column = 0;
    for (std::size_t p = line.start; p < end; ++p)
        column = NextColumn(column, text[p]);
    return column;
}

std::size_t PaneDocument::RowOf(std::size_t position) const {
    position = std::min(position, Length());
    const std::size_t lineIndex = LineOf(position);
    if (wrap_ == 0) return firstRow_[lineIndex];
    const std::size_t row = ColumnOf(position) / wrap_;
    return firstRow_[lineIndex] + std::min(row, RowsOf(lines_[lineIndex]) - 1);
}

std::size_t PaneDocument::PositionAt(std::size_t row, std::size_t column) const {
    const Row r = RowAt(row);
    const std::size_t target = r.firstColumn + column;
    const std::string& text = Text();
    std::size_t at = r.begin < r.end ? ColumnOf(r.begin) : r.firstColumn;
    for (std::size_t p = r.begin; p < r.end; ++p) {
        const std::size_t next = NextColumn(at, text[p]);
        // The nearer edge of the cell (or of the tab's cells) wins.
        if (target < next) return target - at <= (next - at) / 2 ? p : p + 1;
        at = next;
    }
    return r.end;
}

}  // namespace ostrel
