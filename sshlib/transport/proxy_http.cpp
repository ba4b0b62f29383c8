#include "sshlib/transport/proxy_http.h"

#include <cctype>
#include <string>

#include "crypto/secure_memory.h"
#include "sshlib/transport/base64.h"

namespace tessan {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Matches "HTTP/<int>.<int>" and blanks; returns the position of the status code or npos.
size_t StatusCodePosition(std::string_view line) {
    if (line.substr(0, 5) != "HTTP/") return std::string_view::npos;
    size_t pos = 5;
    for (int part = 0; part < 2; ++part) {
        size_t start = pos;
        while (pos < line.size() && IsDigit(line[pos])) ++pos;
        if (pos == start) return std::string_view::npos;
        if (part == 0) {
            if (pos >= line.size() || line[pos] != '.') return std::string_view::npos;
            ++pos;
        }
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    return pos;
}

}  // namespace

std::string BuildHttpConnectRequest(std::string_view host, int port, std::string_view user,
                                    std::string_view password) {
    std::string target = std::string(host) + ":" + std::to_string(port);
    std::string request = "CONNECT " + target + " HTTP/1.1\r\nHost: " + target + "\r\n";
    if (!user.empty() || !password.empty()) {
        std::string credentials = std::string(user) + ":" + std::string(password);
        std::string encoded = Base64Encode(credentials);
        request += "Proxy-Authorization: Basic " + encoded + "\r\n";
        SecureWipe(credentials);
        SecureWipe(encoded);
    }
    request += "\r\n";
    return request;
}

size_t HttpConnectReply::Feed(const char* data, size_t size) {
    size_t used = 0;
    while (used < size && status_ == Status::kNeedMore) {
        char c = data[used++];
        if (++total_ > kMaxHeader) {
            status_ = Status::kTooLong;
            break;
        }
        if (c == '\n') {
            EndLine();
            continue;
        }
        if (line_.size() >= kMaxLine) {
            status_ = Status::kTooLong;
            break;
        }
        line_ += c;
    }
    return used;
}

void HttpConnectReply::EndLine() {
    std::string_view line = line_;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!haveStatusLine_) {
        haveStatusLine_ = true;
        size_t pos = StatusCodePosition(line);
        if (pos == std::string_view::npos || pos >= line.size()) {
            status_ = Status::kMalformed;
        } else {
            for (size_t i = pos; i < line.size() && i < pos + 3 && IsDigit(line[i]); ++i)
                statusCode_ = statusCode_ * 10 + (line[i] - '0');
            if (line[pos] != '2') status_ = Status::kRejected;
        }
    } else if (line.empty()) {
        status_ = Status::kAccepted;
    }
    line_.clear();
}

}  // namespace tessan
