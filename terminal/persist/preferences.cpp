#include "terminal/persist/preferences.h"

#include <system_error>

namespace ostrel {

bool ApplyStartupColours(ColourTable& colours, const std::filesystem::path& folder) {
    std::error_code ec;
    if (std::filesystem::exists(folder / kPreferencesFileName, ec)) return false;
    colours = DefaultColourTable();
    return true;
}

bool ApplyStartupColours(ColourTable& colours) {
    std::error_code ec;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    return ApplyStartupColours(colours, ec ? std::filesystem::path() : here);
}

}  // namespace ostrel
