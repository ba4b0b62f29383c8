// SSH-2 message numbers (RFC 4250 section 4.1, RFC 4419) and the disconnect reason codes
// (RFC 4253 section 11.1) that the transport uses.
#pragma once

#include <cstdint>

namespace tessan::transport {

// Transport layer generic messages.
inline constexpr uint8_t kMsgDisconnect = 1;
inline constexpr uint8_t kMsgIgnore = 2;
inline constexpr uint8_t kMsgUnimplemented = 3;
inline constexpr uint8_t kMsgDebug = 4;
inline constexpr uint8_t kMsgServiceRequest = 5;
inline constexpr uint8_t kMsgServiceAccept = 6;

// Algorithm negotiation.
inline constexpr uint8_t kMsgKexInit = 20;
inline constexpr uint8_t kMsgNewKeys = 21;

// Key-exchange method messages: the fixed groups use 30/31, group exchange 31 (the group),
// 32/33 (init, reply) and 34 (the request with minimum, preferred and maximum sizes).
inline constexpr uint8_t kMsgKexDhInit = 30;
inline constexpr uint8_t kMsgKexDhReply = 31;
inline constexpr uint8_t kMsgKexEcdhInit = 30;   // RFC 5656: string Q_C
inline constexpr uint8_t kMsgKexEcdhReply = 31;  // string K_S, string Q_S, string signature
inline constexpr uint8_t kMsgKexGexGroup = 31;
inline constexpr uint8_t kMsgKexGexInit = 32;
inline constexpr uint8_t kMsgKexGexReply = 33;
inline constexpr uint8_t kMsgKexGexRequest = 34;

// The range of messages that belong to the key exchange (re-keying after the first one).
inline constexpr uint8_t kFirstKexMessage = 20;
inline constexpr uint8_t kLastKexMessage = 49;

// User authentication and connection protocol (used by the layers above and their tests).
inline constexpr uint8_t kMsgUserauthRequest = 50;
inline constexpr uint8_t kMsgUserauthFailure = 51;
inline constexpr uint8_t kMsgUserauthSuccess = 52;
inline constexpr uint8_t kMsgUserauthBanner = 53;

// Disconnect reason codes.
inline constexpr uint32_t kDisconnectProtocolError = 2;
inline constexpr uint32_t kDisconnectKeyExchangeFailed = 3;
inline constexpr uint32_t kDisconnectMacError = 5;
inline constexpr uint32_t kDisconnectCompressionError = 6;
inline constexpr uint32_t kDisconnectServiceNotAvailable = 7;
inline constexpr uint32_t kDisconnectHostKeyNotVerifiable = 9;
inline constexpr uint32_t kDisconnectByApplication = 11;
inline constexpr uint32_t kDisconnectAuthCancelledByUser = 13;
inline constexpr uint32_t kDisconnectNoMoreAuthMethods = 14;

}  // namespace tessan::transport
