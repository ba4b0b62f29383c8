#include "terminal/core/core_types.h"

namespace ostrel {

ConversionMode NextConversionMode(ConversionMode mode) {
    return static_cast<ConversionMode>((static_cast<unsigned>(mode) + 1) % 4);
}

LineTerminator NextLineTerminator(LineTerminator terminator) {
    return static_cast<LineTerminator>((static_cast<unsigned>(terminator) + 1) % 4);
}

DisplayType ToggleDisplayType(DisplayType type) {
    return type == DisplayType::Text ? DisplayType::Hex : DisplayType::Text;
}

std::string_view ConversionModeText(ConversionMode mode) {
    switch (mode) {
        case ConversionMode::Amx:
            return "AMX(tm)";
        case ConversionMode::Crestron:
            return "Crestron(tm)";
        case ConversionMode::Extron:
            return "Extron(tm)";
        case ConversionMode::NoConversion:
            return "No Conversion";
    }
    return {};
}

std::string_view LineTerminatorText(LineTerminator terminator) {
    switch (terminator) {
        case LineTerminator::None:
            return "None";
        case LineTerminator::CrLf:
            return "CRLF";
        case LineTerminator::Cr:
            return "CR";
        case LineTerminator::Lf:
            return "LF";
    }
    return {};
}

std::string_view DisplayTypeText(DisplayType type) {
    switch (type) {
        case DisplayType::Text:
            return "Text";
        case DisplayType::Hex:
            return "Hex";
        case DisplayType::Mixed:
            return "Mixed";
    }
    return {};
}

std::string_view TerminatorBytes(LineTerminator terminator) {
    switch (terminator) {
        case LineTerminator::None:
            return {};
        case LineTerminator::CrLf:
            return "\r\n";
        case LineTerminator::Cr:
            return "\r";
        case LineTerminator::Lf:
            return "\n";
    }
    return {};
}

std::string_view TerminatorDollarText(LineTerminator terminator) {
    switch (terminator) {
        case LineTerminator::None:
            return {};
        case LineTerminator::CrLf:
            return "$0D$0A";
        case LineTerminator::Cr:
            return "$0D";
        case LineTerminator::Lf:
            return "$0A";
    }
    return {};
}

}  // namespace ostrel
