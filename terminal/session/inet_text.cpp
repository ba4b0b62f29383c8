#include "terminal/session/inet_text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace ostrel {
namespace {

struct ErrorText {
    int code;
    std::string_view text;
};

constexpr ErrorText kErrorTexts[] = {
    {kInetErrorInterrupted, "The operation was interrupted."},
    {kInetErrorAccess, "Permission denied: the address or port may not be used."},
    {kInetErrorInvalidArgument, "An invalid argument was supplied."},
    {kInetErrorTooManySockets, "Too many open sockets."},
    {kInetErrorWouldBlock, "The operation would block; try again later."},
    {kInetErrorNotSocket, "The handle is not an open socket."},
    {kInetErrorMessageSize, "The message is larger than a datagram can carry."},
    {kInetErrorProtocolNotSupported, "The protocol is not supported."},
    {kInetErrorAddressInUse, "The address and port are already in use."},
    {kInetErrorAddressNotAvailable, "The address is not available (no peer to send to)."},
    {kInetErrorNetworkDown, "The network is down."},
    {kInetErrorNetworkUnreachable, "The network is unreachable."},
    {kInetErrorConnectionAborted, "The connection was aborted."},
    {kInetErrorConnectionReset, "The connection was reset by the peer."},
    {kInetErrorNoBuffers, "Out of buffer space."},
    {kInetErrorNotConnected, "The socket is not connected."},
    {kInetErrorShutdown, "The connection has been shut down."},
    {kInetErrorTimedOut, "The connection attempt timed out."},
    {kInetErrorConnectionRefused, "The connection was refused by the peer."},
    {kInetErrorHostUnreachable, "The host is unreachable."},
    {kInetErrorNotInitialised, "The socket library is not initialised."},
    {kInetErrorHostNotFound, "The host name could not be resolved."},
    {kInetErrorTryAgain, "The host name could not be resolved now; try again later."},
    {kInetErrorTlsHandshake, "The TLS handshake failed."},
    {kInetErrorTlsProtocol,
     "SSL 2.0 and SSL 3.0 are not offered by any current TLS library; choose Auto or TLS 1.0."},
    {kInetErrorTlsUnavailable, "TLS is not available on this machine."},
    {kInetErrorCredentials, "The security credentials are not valid."},
    {kInetErrorStalledClient, "A client took no data for too long and was disconnected."},
    {kInetErrorUnknown, "An unknown network error occurred."},
};

}  // namespace

std::string_view InetErrorText(int code) {
    for (const ErrorText& e : kErrorTexts)
        if (e.code == code) return e.text;
    return {};
}

std::string FormatInetAddress(const InetAddress& address) {
    const auto& b = address.bytes;
    char text[48];
    switch (address.family) {
        case InetAddress::Family::None:
            return {};
        case InetAddress::Family::V4:
            std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
            return text;
        case InetAddress::Family::V6:
            break;
    }
    // RFC 5952: the longest run of two or more zero groups becomes "::" (the first such run
    // when two are equally long); groups in lower-case hex without leading zeros.
    std::array<unsigned, 8> groups{};
    for (std::size_t i = 0; i < 8; ++i)
        groups[i] = static_cast<unsigned>(b[2 * i]) << 8 | b[2 * i + 1];
    int bestStart = -1, bestLength = 0;
    for (int i = 0; i < 8;) {
        if (groups[i] != 0) {
            ++i;
            continue;
        }
        int j = i;
        while (j < 8 && groups[j] == 0)
            ++j;
        if (j - i > bestLength && j - i >= 2) bestStart = i, bestLength = j - i;
        i = j;
    }
    std::string out;
    for (int i = 0; i < 8; ++i) {
        if (i == bestStart) {
            out += "::";
            i += bestLength - 1;
            continue;
        }
        if (!out.empty() && out.back() != ':') out += ':';
        std::snprintf(text, sizeof text, "%x", groups[i]);
        out += text;
    }
    return out;
}

int CopyToBuffer(std::string_view text, std::span<char> buffer) {
    if (buffer.empty()) return 0;
    const std::size_t n = std::min(text.size(), buffer.size() - 1);
    if (n > 0) std::memcpy(buffer.data(), text.data(), n);  // an empty view may have no data
    buffer[n] = '\0';
    return static_cast<int>(n);
}

}  // namespace ostrel
