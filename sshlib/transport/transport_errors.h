// The error numbers a transport failure reports (a library error code is 0x80040000 | number),
// and the disconnect reason each failure sends.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform_types.h"
#include "sshlib/transport/ssh_constants.h"

namespace tessan::transport {

// The key exchange could not agree or complete (no common algorithm, a group or value out of
// range, the server refused a key-exchange message).
inline constexpr DWORD kErrKeyExchangeFailed = 12101;
// The server's host key did not parse or its signature over the exchange hash did not verify.
inline constexpr DWORD kErrHostKeyNotVerified = 12102;
// A packet failed its MAC check.
inline constexpr DWORD kErrMessageAuthentication = 12103;
// The server broke the protocol (a message out of place, an impossible packet, a payload that
// does not decompress): "Unexpected response code returned from server".
inline constexpr DWORD kErrProtocol = 12205;
// The server cannot speak a protocol version the settings allow.
inline constexpr DWORD kErrProtocolMismatch = 10043;
// The server closed the connection or sent a disconnect message.
inline constexpr DWORD kErrConnectionClosed = 12256;
// A feature the library does not provide (a user name in the credentials: public-key login).
inline constexpr DWORD kErrFeatureNotSupported = 12330;

// The error number for a disconnect we send with `reason`.
inline DWORD ErrorForReason(uint32_t reason) {
    switch (reason) {
        case kDisconnectKeyExchangeFailed:
            return kErrKeyExchangeFailed;
        case kDisconnectHostKeyNotVerifiable:
            return kErrHostKeyNotVerified;
        case kDisconnectMacError:
            return kErrMessageAuthentication;
        default:
            return kErrProtocol;
    }
}

// Why a connection ended.
struct TransportFailure {
    DWORD error = 0;      // one of the numbers above, or a socket error number; 0 while open
    uint32_t reason = 0;  // disconnect reason sent or received (0 when there was none)
    std::string text;     // the description sent or received
    bool byPeer = false;  // the server ended it (disconnect message or closed connection)
    bool clean = false;   // ended by a deliberate disconnect (for the exit code)
};

}  // namespace tessan::transport
