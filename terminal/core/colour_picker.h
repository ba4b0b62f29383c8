// The colour dialog's model: working copies of the five colours, the category being edited and
// the three slider positions, so the dialog only shows and forwards. "Ok" copies the working
// colours back into the table; closing without it leaves the table as it was.
#pragma once

#include <array>

#include "terminal/core/colour_table.h"

namespace ostrel {

class ColourPicker {
public:
    // Starts with the table's colours and the Background category.
    explicit ColourPicker(const ColourTable& table) : working_(table) {}

    ColourSlot Current() const { return current_; }
    // The red, green and blue slider positions for the current category's working colour.
    std::array<int, 3> Sliders() const;
    // The sample: its background is the working Background; its text is the current
    // category's colour, or Informational while Background is being edited.
    Colour SampleBackground() const { return working_[ColourSlot::Background]; }
    Colour SampleText() const { return sampleText_; }

    void Select(ColourSlot slot);
    // Any slider moved: the current category's working colour becomes RGB(red, green, blue),
    // each clamped to 0-255.
    void SetSliders(int red, int green, int blue);

    const ColourTable& Working() const { return working_; }
    // "Ok": the working colours become the table's.
    void Commit(ColourTable& table) const { table = working_; }

private:
    ColourTable working_;
    ColourSlot current_ = ColourSlot::Background;
    Colour sampleText_ = working_[ColourSlot::Informational];
};

}  // namespace ostrel
