#include "terminal/window/output_view.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cctype>

#include "terminal/core/code_page.h"

namespace ostrel {
namespace {

QColor ToQColor(Colour colour) {
    return QColor(RedOf(colour), GreenOf(colour), BlueOf(colour));
}

// Control characters have no glyph; they show as a box, as in the pane of the original
// rich-edit. The pane's bytes are Windows-1252, where most of 128-159 are printable.
bool IsControl(unsigned char byte) {
    const char32_t c = Windows1252Character(byte);
    return c < 32 || (c >= 127 && c < 160);
}

// The pane's bytes as the characters they stand for.
QString PaneCharacters(std::string_view bytes) {
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char b : bytes)
        *out++ = QChar(static_cast<char16_t>(Windows1252Character(static_cast<unsigned char>(b))));
    return text;
}

bool IsWordByte(unsigned char byte) {
    return std::isalnum(byte) != 0 || byte == '_' || byte >= 192;
}

}  // namespace

OutputView::OutputView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAutoFillBackground(false);
    setFrameShape(QFrame::StyledPanel);
    UpdateMetrics();
}

void OutputView::setFont(const QFont& font) {
    QAbstractScrollArea::setFont(font);
    UpdateMetrics();
    UpdateLayout();
}

void OutputView::UpdateMetrics() {
    const QFontMetrics metrics(font());
    cellWidth_ = std::max(1, metrics.horizontalAdvance(QLatin1Char('M')));
    lineHeight_ = std::max(1, metrics.lineSpacing());
    ascent_ = metrics.ascent();
}

void OutputView::Freeze() {
    frozen_ = true;
}

void OutputView::Unfreeze() {
    frozen_ = false;
    UpdateScrollRange();
    ScrollToCaret();
    Repaint();
}

void OutputView::Repaint() {
    ++repaintRequests_;
    viewport()->update();
}

void OutputView::AppendColored(std::string_view text, Colour colour) {
    document_.Append(text, colour);
    // The inserted text was selected to colour it; the caret ends after it with nothing selected.
    caret_ = anchor_ = document_.Length();
    if (!frozen_) Unfreeze();
}

void OutputView::KeepTail(std::size_t count) {
    const std::size_t cut = document_.Length() > count ? document_.Length() - count : 0;
    document_.KeepTail(count);
    caret_ = caret_ > cut ? caret_ - cut : 0;
    anchor_ = anchor_ > cut ? anchor_ - cut : 0;
    if (!frozen_) Unfreeze();
}

void OutputView::SetCaret(std::size_t position) {
    caret_ = anchor_ = std::min(position, document_.Length());
    if (!frozen_) Unfreeze();
}

void OutputView::SetBackground(Colour colour) {
    background_ = ToQColor(colour);
    Repaint();
}

void OutputView::SelectAll() {
    anchor_ = 0;
    caret_ = document_.Length();
    Repaint();
}

std::string OutputView::SelectedBytes() const {
    const std::size_t from = std::min(anchor_, caret_);
    const std::size_t to = std::max(anchor_, caret_);
    return document_.Text().substr(from, to - from);
}

void OutputView::CopySelection() const {
    const std::string bytes = SelectedBytes();
    if (bytes.empty()) return;
    QGuiApplication::clipboard()->setText(QString::fromStdString(Windows1252ToUtf8(bytes)));
}

void OutputView::ClearText() {
    document_.Clear();
    caret_ = anchor_ = 0;
    UpdateScrollRange();
    Repaint();
}

std::size_t OutputView::TopRow() const {
    return static_cast<std::size_t>(std::max(0, verticalScrollBar()->value()));
}

std::size_t OutputView::VisibleRows() const {
    return static_cast<std::size_t>(std::max(1, viewport()->height() / lineHeight_));
}

void OutputView::UpdateLayout() {
    const std::size_t top = TopRow();
    const std::size_t topPosition = document_.RowAt(top).begin;
    document_.SetWrapColumns(static_cast<std::size_t>(std::max(1, viewport()->width() / cellWidth_)));
    UpdateScrollRange();
    verticalScrollBar()->setValue(static_cast<int>(document_.RowOf(topPosition)));
    Repaint();
}

void OutputView::UpdateScrollRange() {
    const std::size_t rows = document_.RowCount();
    const std::size_t visible = VisibleRows();
    const std::size_t maximum = rows > visible ? rows - visible : 0;
    verticalScrollBar()->setRange(0, static_cast<int>(std::min<std::size_t>(maximum, INT32_MAX)));
    verticalScrollBar()->setPageStep(static_cast<int>(visible));
    verticalScrollBar()->setSingleStep(1);
}

void OutputView::ScrollToCaret() {
    const std::size_t row = document_.RowOf(caret_);
    const std::size_t top = TopRow();
    const std::size_t visible = VisibleRows();
    if (row < top)
        verticalScrollBar()->setValue(static_cast<int>(row));
    else if (row >= top + visible)
        verticalScrollBar()->setValue(static_cast<int>(row - visible + 1));
}

void OutputView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateLayout();
    ScrollToCaret();
}

void OutputView::scrollContentsBy(int, int) {
    viewport()->update();
}

void OutputView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), background_);
    painter.setFont(font());
    const std::size_t top = TopRow();
    const std::size_t rows = document_.RowCount();
    for (std::size_t row = top, y = 0; row < rows && static_cast<int>(y) < viewport()->height();
         ++row, y += static_cast<std::size_t>(lineHeight_))
        PaintRow(painter, row, static_cast<int>(y));

    if (hasFocus() && anchor_ == caret_) {
        const std::size_t row = document_.RowOf(caret_);
        if (row >= top && row < top + VisibleRows() + 1) {
            const PaneDocument::Row r = document_.RowAt(row);
            const std::size_t column = document_.ColumnOf(caret_) - r.firstColumn;
            const int x = static_cast<int>(std::min(column, document_.WrapColumns())) * cellWidth_;
            const int y = static_cast<int>(row - top) * lineHeight_;
            painter.fillRect(x, y, 2, lineHeight_,
                             background_.lightness() < 128 ? Qt::white : Qt::black);
        }
    }
}

void OutputView::PaintRow(QPainter& painter, std::size_t row, int y) const {
    const PaneDocument::Row r = document_.RowAt(row);
    if (r.begin >= r.end) return;
    const std::string& text = document_.Text();
    const auto& runs = document_.Runs();
    const std::size_t selFrom = std::min(anchor_, caret_);
    const std::size_t selTo = std::max(anchor_, caret_);
    const QColor highlight = palette().color(QPalette::Highlight);
    const QColor highlighted = palette().color(QPalette::HighlightedText);

    auto run = std::upper_bound(runs.begin(), runs.end(), r.begin,
                                [](std::size_t p, const MemoryPane::Run& x) { return p < x.start; });
    --run;
    std::size_t column = document_.ColumnOf(r.begin);
    std::size_t p = r.begin;
    while (p < r.end) {
        // A segment: bytes of one colour and one selection state, without tabs or controls.
        while (std::next(run) != runs.end() && std::next(run)->start <= p)
            ++run;
        const bool selected = p >= selFrom && p < selTo;
        const unsigned char first = static_cast<unsigned char>(text[p]);
        const int x = static_cast<int>(column - r.firstColumn) * cellWidth_;
        const QColor ink = selected ? highlighted : ToQColor(run->colour);
        if (first == '\t' || IsControl(first)) {
            const std::size_t next = NextColumn(column, static_cast<char>(first));
            const int width = static_cast<int>(next - column) * cellWidth_;
            if (selected) painter.fillRect(x, y, width, lineHeight_, highlight);
            if (first != '\t') {
                painter.setPen(ink);
                painter.drawRect(x + 1, y + 2, cellWidth_ - 3, lineHeight_ - 5);
            }
            column = next;
            ++p;
            continue;
        }
        const std::size_t runEnd = std::next(run) != runs.end() ? std::next(run)->start : text.size();
        std::size_t end = p + 1;
        while (end < r.end && end < runEnd && end != selFrom && end != selTo &&
               text[end] != '\t' && !IsControl(static_cast<unsigned char>(text[end])))
            ++end;
        const QString segment = PaneCharacters(std::string_view(text).substr(p, end - p));
        if (selected)
            painter.fillRect(x, y, static_cast<int>(end - p) * cellWidth_, lineHeight_, highlight);
        painter.setPen(ink);
        painter.drawText(x, y + ascent_, segment);
        column += end - p;
        p = end;
    }
}

std::size_t OutputView::PositionAtPoint(const QPoint& point) const {
    const int rowOffset = std::max(0, point.y()) / lineHeight_;
    const std::size_t row = TopRow() + static_cast<std::size_t>(rowOffset);
    if (row >= document_.RowCount()) return document_.Length();
    const int column = std::max(0, (point.x() + cellWidth_ / 2) / cellWidth_);
    return document_.PositionAt(row, static_cast<std::size_t>(column));
}

void OutputView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const std::size_t position = PositionAtPoint(event->position().toPoint());
    caret_ = position;
    if (!(event->modifiers() & Qt::ShiftModifier)) anchor_ = position;
    Repaint();
}

void OutputView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    const QPoint point = event->position().toPoint();
    if (point.y() < 0)
        verticalScrollBar()->setValue(verticalScrollBar()->value() - 1);
    else if (point.y() > viewport()->height())
        verticalScrollBar()->setValue(verticalScrollBar()->value() + 1);
    caret_ = PositionAtPoint(point);
    Repaint();
}

void OutputView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const std::string& text = document_.Text();
    std::size_t from = PositionAtPoint(event->position().toPoint());
    std::size_t to = from;
    while (from > 0 && IsWordByte(static_cast<unsigned char>(text[from - 1])))
        --from;
    while (to < text.size() && IsWordByte(static_cast<unsigned char>(text[to])))
        ++to;
    anchor_ = from;
    caret_ = to;
    Repaint();
}

void OutputView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void OutputView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

}  // namespace ostrel
