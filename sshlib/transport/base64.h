// Base64 encoding with the standard alphabet and "=" padding (RFC 4648).
#pragma once

#include <string>
#include <string_view>

namespace tessan {

std::string Base64Encode(std::string_view bytes);

}  // namespace tessan
