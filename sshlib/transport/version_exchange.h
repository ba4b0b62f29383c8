// The identification lines exchanged before any packet: reading the server's line from the
// byte stream, comparing protocol versions, choosing protocol 1 or 2 and forming the client's
// line. The client never speaks first: its line is formed only after the server's was read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessan::transport {

// The software name and version this client announces.
inline constexpr int kClientMajorVersion = 7;
inline constexpr int kClientMinorVersion = 0;

// The longest server identification line kept; a longer line fails the exchange (a real
// server's line is at most 255 bytes).
inline constexpr size_t kMaxServerLineLength = 1024;

// Reads the server's identification line byte by byte, at any split of the stream. Lines before
// it that do not start with "SSH-" are skipped, however many there are (none is stored).
class ServerLineReader {
public:
    enum class Result { kNeedMore, kDone, kTooLong };

    // Consumes bytes up to and including the line feed that ends the identification line;
    // `consumed` tells how many (bytes after it belong to the packet stream).
    Result Feed(const uint8_t* data, size_t length, size_t& consumed);

    // The line from "SSH-" up to (not including) its first carriage return or line feed.
    const std::string& Line() const { return line_; }
    // The text between "SSH-" and the next "-" (at most 9 characters kept).
    const std::string& ProtocolVersion() const { return protocolVersion_; }
    // The part after the second "-" (empty when there is none).
    std::string_view SoftwareVersion() const;

private:
    enum class State { kLineStart, kSkippingLine, kInLine, kDone };
    State state_ = State::kLineStart;
    size_t prefixMatched_ = 0;
    bool inProtocolVersion_ = true;
    bool lineCut_ = false;
    std::string line_;
    std::string protocolVersion_;
};

// Compares two protocol versions "major.minor" (numbers read leniently): -1, 0 or 1.
int CompareVersions(std::string_view a, std::string_view b);

// The protocol preference of a connection.
inline constexpr int kPreferProtocol1Only = 0;
inline constexpr int kPreferProtocol2 = 2;  // with fall-back to protocol 1 (default)
inline constexpr int kPreferProtocol2Only = 3;

// Protocol 1 or 2 for a server announcing `serverVersion` under `preference`, or nothing when
// the two cannot agree (protocol 1 only against a server that speaks only 2, or protocol 2 only
// against a server below 1.99).
std::optional<int> ChooseProtocol(int preference, std::string_view serverVersion);

// The client's identification line with its line ending: "SSH-2.0-Carrack_7.0\r\n" for protocol
// 2; for protocol 1 "SSH-<v>-Carrack_7.0\n" with the server's version when it is at most 1.5,
// else 1.5.
std::string ClientLine(int protocol, std::string_view serverVersion);

}  // namespace tessan::transport
