// The error numbers the library's layers report, one set for all of them. A number n becomes
// the library error code 0x80040000 | n only at the API boundary (sshlib/api/error_codes.h,
// which also checks that every number here names the code it should). Socket-style numbers
// (10000-11004) follow the Windows Sockets numbering; the library's own start at 12001.
#pragma once

#include "platform/platform_types.h"

namespace tessan {

// --- general and network (the Windows Sockets numbering) ---
inline constexpr DWORD kErrCancelled = 10004;  // a blocking wait was cancelled
inline constexpr DWORD kErrOutOfMemory = 10012;
inline constexpr DWORD kErrInvalid = 10022;
inline constexpr DWORD kErrWouldBlock = 10035;
inline constexpr DWORD kErrInProgress = 10036;  // the thread already waits
inline constexpr DWORD kErrNotSocket = 10038;   // the socket went away during a wait
// The server cannot speak a protocol version the settings allow.
inline constexpr DWORD kErrProtocolNotSupported = 10043;
inline constexpr DWORD kErrAddressFamily = 10047;
inline constexpr DWORD kErrNotConnected = 10057;
inline constexpr DWORD kErrTimedOut = 10060;
inline constexpr DWORD kErrRefused = 10061;
inline constexpr DWORD kErrSystemNotReady = 10091;
inline constexpr DWORD kErrNotInitialised = 10093;
inline constexpr DWORD kErrHostNotFound = 11001;
inline constexpr DWORD kErrTryAgain = 11002;
inline constexpr DWORD kErrNoRecovery = 11003;
inline constexpr DWORD kErrNoData = 11004;

// --- security ---
// The key exchange could not agree or complete (no common algorithm, a group or value out of
// range, a host key of an unacceptable size, the server refused a key-exchange message).
inline constexpr DWORD kErrKeyExchangeFailed = 12101;
// The server's host key did not parse or its signature over the exchange hash did not verify.
inline constexpr DWORD kErrHostKeyNotVerified = 12102;
// A packet failed its MAC check.
inline constexpr DWORD kErrMessageAuthentication = 12103;
// The server's host key is not the one the caller expects.
inline constexpr DWORD kErrHostKeyMismatch = 12104;
// Protocol 1: a packet failed its CRC-32.
inline constexpr DWORD kErrPacketCorrupted = 12105;
// Protocol 1: the compensation attack's pattern was found in the ciphertext.
inline constexpr DWORD kErrAttackDetected = 12106;

// --- protocol, proxy and authentication ---
// The server (or a proxy) broke the protocol: a message out of place, an impossible packet,
// data beyond the window, a payload that does not decompress.
inline constexpr DWORD kErrProtocol = 12205;
inline constexpr DWORD kErrInvalidProxyType = 12210;
inline constexpr DWORD kErrAuthenticationFailed = 12230;
// The server (or a proxy) closed the connection or sent a disconnect message.
inline constexpr DWORD kErrConnectionClosed = 12256;
// A feature the library does not provide.
inline constexpr DWORD kErrFeatureNotSupported = 12330;

}  // namespace tessan
