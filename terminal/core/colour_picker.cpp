#include "terminal/core/colour_picker.h"

#include <algorithm>

namespace ostrel {
namespace {

std::uint8_t Channel(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

}  // namespace

std::array<int, 3> ColourPicker::Sliders() const {
    const Colour c = working_[current_];
    return {RedOf(c), GreenOf(c), BlueOf(c)};
}

void ColourPicker::Select(ColourSlot slot) {
    current_ = slot;
    if (slot != ColourSlot::Background) sampleText_ = working_[slot];
}

void ColourPicker::SetSliders(int red, int green, int blue) {
    const Colour colour = Rgb(Channel(red), Channel(green), Channel(blue));
    working_[current_] = colour;
    if (current_ != ColourSlot::Background) sampleText_ = colour;
}

}  // namespace ostrel
