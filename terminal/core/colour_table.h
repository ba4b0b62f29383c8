// The five display colours. Values are 0x00BBGGRR, the layout session and preference files
// store, so a colour read from a file needs no conversion.
#pragma once

#include <array>
#include <cstdint>

namespace ostrel {

using Colour = std::uint32_t;

constexpr Colour Rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<Colour>(red) | static_cast<Colour>(green) << 8 |
           static_cast<Colour>(blue) << 16;
}
constexpr std::uint8_t RedOf(Colour c) {
    return static_cast<std::uint8_t>(c);
}
constexpr std::uint8_t GreenOf(Colour c) {
    return static_cast<std::uint8_t>(c >> 8);
}
constexpr std::uint8_t BlueOf(Colour c) {
    return static_cast<std::uint8_t>(c >> 16);
}

enum class ColourSlot : std::uint8_t {
    Background = 0,
    Incoming = 1,
    LocalEcho = 2,
    Status = 3,
    Informational = 4,
};
inline constexpr std::size_t kColourSlotCount = 5;

struct ColourTable {
    std::array<Colour, kColourSlotCount> slots{};

    Colour operator[](ColourSlot slot) const { return slots[static_cast<std::size_t>(slot)]; }
    Colour& operator[](ColourSlot slot) { return slots[static_cast<std::size_t>(slot)]; }
    friend bool operator==(const ColourTable&, const ColourTable&) = default;
};

// The colours used when no preferences exist: black background, white incoming data, green
// echo, yellow status lines and pale blue (192, 192, 255) informational lines.
ColourTable DefaultColourTable();

}  // namespace ostrel
