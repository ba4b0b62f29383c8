// The one conversion from the layers' error numbers (sshlib/transport/error_numbers.h) to the
// library error codes of tessan_errors.h, made where an error crosses the API boundary.
#pragma once

#include "sshlib/api/tessan.h"
#include "sshlib/transport/error_numbers.h"

namespace tessan {

// 0 stays 0 (no error); an error number n becomes 0x80040000 | n; a value that already is a
// library code (its top bit set) passes unchanged.
constexpr DWORD ApiError(DWORD error) {
    return (error == 0 || (error & 0x80000000UL)) ? error : (KX_ERROR_BASE | error);
}

// Every number names the code the public header gives it.
static_assert(ApiError(kErrCancelled) == KX_ERROR_OPERATION_CANCELED);
static_assert(ApiError(kErrOutOfMemory) == KX_ERROR_OUT_OF_MEMORY);
static_assert(ApiError(kErrInvalid) == KX_ERROR_INVALID_BUFFER);
static_assert(ApiError(kErrWouldBlock) == KX_ERROR_OPERATION_WOULD_BLOCK);
static_assert(ApiError(kErrInProgress) == KX_ERROR_OPERATION_IN_PROGRESS);
static_assert(ApiError(kErrNotSocket) == KX_ERROR_INVALID_HANDLE);
static_assert(ApiError(kErrProtocolNotSupported) == KX_ERROR_PROTOCOL_NOT_SUPPORTED);
static_assert(ApiError(kErrAddressFamily) == KX_ERROR_ADDRESS_FAMILY_NOT_SUPPORTED);
static_assert(ApiError(kErrNotConnected) == KX_ERROR_NOT_CONNECTED);
static_assert(ApiError(kErrTimedOut) == KX_ERROR_OPERATION_TIMEOUT);
static_assert(ApiError(kErrRefused) == KX_ERROR_CONNECTION_REFUSED);
static_assert(ApiError(kErrSystemNotReady) == KX_ERROR_NETWORK_NOT_AVAILABLE);
static_assert(ApiError(kErrNotInitialised) == KX_ERROR_NETWORK_NOT_INITIALIZED);
static_assert(ApiError(kErrHostNotFound) == KX_ERROR_INVALID_HOSTNAME);
static_assert(ApiError(kErrKeyExchangeFailed) == KX_ERROR_KEY_EXCHANGE_FAILED);
static_assert(ApiError(kErrHostKeyNotVerified) == KX_ERROR_HOST_KEY_NOT_VERIFIED);
static_assert(ApiError(kErrMessageAuthentication) == KX_ERROR_MESSAGE_AUTHENTICATION);
static_assert(ApiError(kErrHostKeyMismatch) == KX_ERROR_HOST_KEY_MISMATCH);
static_assert(ApiError(kErrPacketCorrupted) == KX_ERROR_PACKET_CORRUPTED);
static_assert(ApiError(kErrAttackDetected) == KX_ERROR_ATTACK_DETECTED);
static_assert(ApiError(kErrProtocol) == KX_ERROR_UNEXPECTED_SERVER_RESPONSE);
static_assert(ApiError(kErrInvalidProxyType) == KX_ERROR_INVALID_PROXY_TYPE);
static_assert(ApiError(kErrAuthenticationFailed) == KX_ERROR_AUTHENTICATION_FAILED);
static_assert(ApiError(kErrConnectionClosed) == KX_ERROR_CONNECTION_CLOSED);
static_assert(ApiError(kErrFeatureNotSupported) == KX_ERROR_FEATURE_NOT_SUPPORTED);

}  // namespace tessan
