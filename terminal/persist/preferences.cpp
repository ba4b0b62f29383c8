#include "terminal/persist/preferences.h"

#include <system_error>

namespace ostrel {

bool ApplyStartupColours(ColourTable& colours, const std::filesystem::path& folder) {
    std::error_code ec;
    if (std::filesystem::exists(folder / kPreferencesFileName, ec)) return false;
    colours = DefaultColourTable();
    return true;
}

}  // namespace ostrel
