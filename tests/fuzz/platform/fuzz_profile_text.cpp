// Profile files come from other machines, other programs and hand edits: any bytes at all.
// The first bytes choose a section and a key, the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/profile_text.h"

namespace {

constexpr std::string_view kNames[] = {"s", "S", "", "Connection Settings", "k", "a b", "[x"};

bool OnlyCrLfLineEnds(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    return text.empty() || text.ends_with("\r\n");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::string_view section = kNames[data[0] % std::size(kNames)];
    const std::string_view key = kNames[data[1] % std::size(kNames)];
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

    const auto before = platform::ProfileFind(text, section, key);
    if (before && before->size() > text.size()) std::abort();
    (void)platform::ProfileSectionNames(text);
    (void)platform::ProfileKeyNames(text, section);

    const std::string normalized = platform::ProfileNormalizeLineEnds(text);
    if (!OnlyCrLfLineEnds(normalized)) std::abort();
    // Line ends do not change what is read.
    if (platform::ProfileFind(normalized, section, key) != before) std::abort();

    if (!platform::ProfileSectionNameWritable(section) || !platform::ProfileKeyNameWritable(key))
        return 0;
    constexpr std::string_view kValue = "v=;\"x";
    const std::string written = platform::ProfileWithValue(text, section, key, kValue);
    if (platform::ProfileFind(written, section, key) != kValue) std::abort();
    if (!OnlyCrLfLineEnds(written)) std::abort();
    if (platform::ProfileWithValue(written, section, key, kValue) != written) std::abort();
    (void)platform::ProfileWithoutKey(written, section, key);
    (void)platform::ProfileWithoutSection(written, section);
    return 0;
}
