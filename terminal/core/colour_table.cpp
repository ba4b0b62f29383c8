#include "terminal/core/colour_table.h"

namespace ostrel {

ColourTable DefaultColourTable() {
    ColourTable t;
    t[ColourSlot::Background] = Rgb(0, 0, 0);
    t[ColourSlot::Incoming] = Rgb(255, 255, 255);
    t[ColourSlot::LocalEcho] = Rgb(0, 255, 0);
    t[ColourSlot::Status] = Rgb(255, 255, 0);
    t[ColourSlot::Informational] = Rgb(192, 192, 255);
    return t;
}

}  // namespace ostrel
