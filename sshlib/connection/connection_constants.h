// SSH-2 message numbers of user authentication and the connection protocol (RFC 4250 section
// 4.1), and the reason and data-type codes this layer sends or reads.
#pragma once

#include <cstdint>

namespace tessan::connection {

// User authentication (RFC 4252).
inline constexpr uint8_t kMsgUserauthRequest = 50;
inline constexpr uint8_t kMsgUserauthFailure = 51;
inline constexpr uint8_t kMsgUserauthSuccess = 52;
inline constexpr uint8_t kMsgUserauthBanner = 53;
inline constexpr uint8_t kMsgUserauthPasswdChangeReq = 60;

// Connection protocol (RFC 4254).
inline constexpr uint8_t kMsgGlobalRequest = 80;
inline constexpr uint8_t kMsgRequestSuccess = 81;
inline constexpr uint8_t kMsgRequestFailure = 82;
inline constexpr uint8_t kMsgChannelOpen = 90;
inline constexpr uint8_t kMsgChannelOpenConfirmation = 91;
inline constexpr uint8_t kMsgChannelOpenFailure = 92;
inline constexpr uint8_t kMsgChannelWindowAdjust = 93;
inline constexpr uint8_t kMsgChannelData = 94;
inline constexpr uint8_t kMsgChannelExtendedData = 95;
inline constexpr uint8_t kMsgChannelEof = 96;
inline constexpr uint8_t kMsgChannelClose = 97;
inline constexpr uint8_t kMsgChannelRequest = 98;
inline constexpr uint8_t kMsgChannelSuccess = 99;
inline constexpr uint8_t kMsgChannelFailure = 100;

// Reason of a refused channel open: SSH_OPEN_CONNECT_FAILED.
inline constexpr uint32_t kOpenConnectFailed = 2;
// Extended data of type 1 is the standard error stream.
inline constexpr uint32_t kExtendedDataStderr = 1;

}  // namespace tessan::connection
