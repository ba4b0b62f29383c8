// What the display model needs from the widget that shows the output: the Qt pane of the main
// window, a console front end, or the in-memory pane of the tests and benchmarks.
//
// Positions and lengths count characters the way the pane counts them; the display model only
// compares them with its size rule and never indexes into the pane's text.
#pragma once

#include <cstddef>
#include <string_view>

#include "terminal/core/colour_table.h"

namespace ostrel {

class OutputPane {
public:
    virtual ~OutputPane() = default;

    // Stops repainting and change notifications until Unfreeze, and hides the selection, so that
    // everything one ShowText call appends is painted once. Calls are not nested by the display.
    virtual void Freeze() = 0;
    // Repaints, shows the selection again, restores notifications and scrolls the caret into view.
    virtual void Unfreeze() = 0;

    // Inserts the bytes at the end in the given text colour; afterwards the caret is at the end.
    virtual void AppendColored(std::string_view text, Colour colour) = 0;
    // Number of characters the pane holds.
    virtual std::size_t Length() const = 0;
    // Replaces the whole text with its last count characters (colours of what stays are kept).
    virtual void KeepTail(std::size_t count) = 0;
    // Puts an empty selection (the caret) at position and scrolls it into view.
    virtual void SetCaret(std::size_t position) = 0;
    // Paints the pane's background in the colour.
    virtual void SetBackground(Colour colour) = 0;
};

}  // namespace ostrel
