// Text of the W functions: UTF-16 in and out, UTF-8 for the A functions they call.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform_types.h"

namespace tessan {

// UTF-16 (zero-terminated; NULL gives "") to UTF-8; an unpaired surrogate becomes '?'.
std::string WideToUtf8(LPCWSTR text);
std::string WideToUtf8(std::u16string_view text);

// UTF-8 to UTF-16; an invalid or overlong sequence becomes U+FFFD.
std::u16string Utf8ToWide(std::string_view text);

// Copies UTF-8 text as UTF-16 into `out` of `capacity` characters, cut to fit with the
// terminating zero (never in the middle of a surrogate pair). Nothing when capacity < 1.
void CopyUtf8ToWide(std::string_view text, LPWSTR out, size_t capacity);

}  // namespace tessan
