// How a transport failure is reported: the error number (error_numbers.h) for each disconnect
// reason we send, and the record of why a connection ended.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform_types.h"
#include "sshlib/transport/error_numbers.h"
#include "sshlib/transport/ssh_constants.h"

namespace tessan::transport {

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
    DWORD error = 0;      // an error number (error_numbers.h); 0 while open
    uint32_t reason = 0;  // disconnect reason sent or received (0 when there was none)
    std::string text;     // the description sent or received
    bool byPeer = false;  // the server ended it (disconnect message or closed connection)
    bool clean = false;   // ended by a deliberate disconnect (for the exit code)
};

}  // namespace tessan::transport
