#include "sshlib/transport/version_exchange.h"

#include <cstdio>

namespace tessan::transport {
namespace {

constexpr char kPrefix[] = "SSH-";
constexpr size_t kProtocolVersionKept = 9;

// Leading decimal digits as a number (saturating), 0 when there are none.
unsigned ReadNumber(std::string_view text) {
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        if (value < 100000000u) value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

}  // namespace

ServerLineReader::Result ServerLineReader::Feed(const uint8_t* data, size_t length,
                                                size_t& consumed) {
    consumed = 0;
    while (consumed < length) {
        if (state_ == State::kDone) return Result::kDone;
        char c = static_cast<char>(data[consumed++]);
        switch (state_) {
            case State::kLineStart:
                if (c == kPrefix[prefixMatched_]) {
                    if (++prefixMatched_ == 4) {
                        line_ = kPrefix;
                        state_ = State::kInLine;
                    }
                } else {
                    prefixMatched_ = 0;
                    state_ = c == '\n' ? State::kLineStart : State::kSkippingLine;
                }
                break;
            case State::kSkippingLine:
                if (c == '\n') state_ = State::kLineStart;
                break;
            case State::kInLine:
                if (c == '\n') {
                    state_ = State::kDone;
                    return Result::kDone;
                }
                if (c == '\r') lineCut_ = true;
                if (lineCut_) inProtocolVersion_ = false;
                if (!lineCut_) {
                    if (line_.size() >= kMaxServerLineLength) return Result::kTooLong;
                    line_ += c;
                }
                if (inProtocolVersion_) {
                    if (c == '-') {
                        inProtocolVersion_ = false;
                    } else if (protocolVersion_.size() < kProtocolVersionKept) {
                        protocolVersion_ += c;
                    }
                }
                break;
            case State::kDone:
                break;
        }
    }
    return state_ == State::kDone ? Result::kDone : Result::kNeedMore;
}

std::string_view ServerLineReader::SoftwareVersion() const {
    std::string_view line = line_;
    size_t first = line.find('-');
    if (first == std::string_view::npos) return {};
    size_t second = line.find('-', first + 1);
    if (second == std::string_view::npos) return {};
    return line.substr(second + 1);
}

int CompareVersions(std::string_view a, std::string_view b) {
    auto split = [](std::string_view v) {
        size_t dot = v.find('.');
        unsigned major = ReadNumber(v.substr(0, dot));
        unsigned minor = dot == std::string_view::npos ? 0 : ReadNumber(v.substr(dot + 1));
        return std::pair{major, minor};
    };
    auto [aMajor, aMinor] = split(a);
    auto [bMajor, bMinor] = split(b);
    if (aMajor != bMajor) return aMajor < bMajor ? -1 : 1;
    if (aMinor != bMinor) return aMinor < bMinor ? -1 : 1;
    return 0;
}

std::optional<int> ChooseProtocol(int preference, std::string_view serverVersion) {
    bool below2 = CompareVersions(serverVersion, "2.0") < 0;
    bool speaks2 = CompareVersions(serverVersion, "1.99") >= 0;
    if (preference == kPreferProtocol1Only && !below2) return std::nullopt;
    if (preference == kPreferProtocol2Only && !speaks2) return std::nullopt;
    if (speaks2 && (preference >= kPreferProtocol2 || !below2)) return 2;
    return 1;
}

std::string ClientLine(int protocol, std::string_view serverVersion) {
    char software[32];
    std::snprintf(software, sizeof software, "Carrack_%d.%d", kClientMajorVersion,
                  kClientMinorVersion);
    // The software part may carry neither "-" nor blanks on the wire.
    for (char* p = software; *p; ++p) {
        if (*p == '-' || *p == ' ') *p = '_';
    }
    if (protocol == 2) return std::string("SSH-2.0-") + software + "\r\n";
    std::string version =
        CompareVersions(serverVersion, "1.5") <= 0 ? std::string(serverVersion) : "1.5";
    return "SSH-" + version + "-" + software + "\n";
}

}  // namespace tessan::transport
