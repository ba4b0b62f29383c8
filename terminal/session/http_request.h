// The HTTP request of the TCP Client dialog: the request "&Generate Request" writes, and the
// conversion of the request text between the record (CR LF line breaks, as sent) and the
// dialog's multi-line box (which holds plain LF breaks).
#pragma once

#include <string>
#include <string_view>

namespace ostrel {

// "GET / HTTP/1.0", "Host: " and the host trimmed of blanks, and the fixed header lines, each
// ended by CR LF, followed by one more CR LF.
std::string GenerateHttpRequest(std::string_view host);

// The record's text for the box: every CR LF and lone CR becomes LF.
std::string RequestToBoxText(std::string_view request);
// The box's text for the record: every LF that is not already preceded by CR becomes CR LF.
std::string RequestFromBoxText(std::string_view boxText);

}  // namespace ostrel
