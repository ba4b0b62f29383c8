// The output pane of the main window: coloured text in a monospace font on a coloured background,
// wrapped at the pane's width, scrolled to the caret after every ShowText, with mouse selection,
// Select All, Copy and Clear. Bytes map to character cells one to one (Latin-1), so the pane
// holds exactly the bytes the display model gave it, however many and whatever they are.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>

#include <string>

#include "terminal/core/output_pane.h"
#include "terminal/core/pane_document.h"

namespace ostrel {

class OutputView final : public QAbstractScrollArea, public OutputPane {
public:
    explicit OutputView(QWidget* parent = nullptr);

    // OutputPane.
    void Freeze() override;
    void Unfreeze() override;
    void AppendColored(std::string_view text, Colour colour) override;
    std::size_t Length() const override { return document_.Length(); }
    void KeepTail(std::size_t count) override;
    void SetCaret(std::size_t position) override;
    void SetBackground(Colour colour) override;
    QColor Background() const { return background_; }

    // The Edit menu.
    void SelectAll();
    void CopySelection() const;
    void ClearText();

    const PaneDocument& Document() const { return document_; }
    std::string SelectedBytes() const;
    std::size_t Caret() const { return caret_; }
    std::size_t TopRow() const;
    std::size_t VisibleRows() const;
    // Cells per row at the current width.
    std::size_t Columns() const { return document_.WrapColumns(); }
    // Number of times the pane was asked to repaint (once per ShowText call).
    std::size_t RepaintRequests() const { return repaintRequests_; }

    void setFont(const QFont& font);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void UpdateMetrics();
    void UpdateLayout();
    void UpdateScrollRange();
    void ScrollToCaret();
    void Repaint();
    std::size_t PositionAtPoint(const QPoint& point) const;
    void PaintRow(class QPainter& painter, std::size_t row, int y) const;

    PaneDocument document_;
    std::size_t caret_ = 0;
    std::size_t anchor_ = 0;
    bool frozen_ = false;
    QColor background_ = Qt::black;
    int cellWidth_ = 8;
    int lineHeight_ = 16;
    int ascent_ = 12;
    std::size_t repaintRequests_ = 0;
};

}  // namespace ostrel
