// Error numbers of the network layer. Socket-style numbers (10000-11004) follow the Windows
// Sockets numbering; the library numbers (12000 and up) are those of the library's message
// table. Either becomes a library error code by OR with 0x80040000.
#pragma once

#include "platform/platform_types.h"

namespace tessan::net {

inline constexpr DWORD kErrCancelled = 10004;
inline constexpr DWORD kErrInvalid = 10022;
inline constexpr DWORD kErrWouldBlock = 10035;
inline constexpr DWORD kErrInProgress = 10036;
inline constexpr DWORD kErrNotSocket = 10038;
inline constexpr DWORD kErrProtocolNotSupported = 10043;
inline constexpr DWORD kErrAddressFamily = 10047;
inline constexpr DWORD kErrTimedOut = 10060;
inline constexpr DWORD kErrRefused = 10061;
inline constexpr DWORD kErrSystemNotReady = 10091;
inline constexpr DWORD kErrNotInitialised = 10093;
inline constexpr DWORD kErrHostNotFound = 11001;
inline constexpr DWORD kErrTryAgain = 11002;
inline constexpr DWORD kErrNoRecovery = 11003;
inline constexpr DWORD kErrNoData = 11004;
inline constexpr DWORD kErrOutOfMemory = 10012;
inline constexpr DWORD kErrUnexpectedResponse = 12205;
inline constexpr DWORD kErrInvalidProxyType = 12210;
inline constexpr DWORD kErrConnectionClosed = 12256;

// The calling thread's last socket error (0 = none), set by every failing socket call.
DWORD LastSocketError();
void SetSocketError(DWORD error);

}  // namespace tessan::net
