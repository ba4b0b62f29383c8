// SSH-1 message numbers.
#pragma once

#include <cstdint>

namespace tessan::transport::ssh1 {

inline constexpr uint8_t kMsgDisconnect = 1;
inline constexpr uint8_t kSmsgPublicKey = 2;
inline constexpr uint8_t kCmsgSessionKey = 3;
inline constexpr uint8_t kCmsgUser = 4;
inline constexpr uint8_t kCmsgAuthPassword = 9;
inline constexpr uint8_t kCmsgRequestPty = 10;
inline constexpr uint8_t kCmsgExecShell = 12;
inline constexpr uint8_t kCmsgExecCommand = 13;
inline constexpr uint8_t kSmsgSuccess = 14;
inline constexpr uint8_t kSmsgFailure = 15;
inline constexpr uint8_t kCmsgStdinData = 16;
inline constexpr uint8_t kSmsgStdoutData = 17;
inline constexpr uint8_t kSmsgStderrData = 18;
inline constexpr uint8_t kCmsgEof = 19;
inline constexpr uint8_t kSmsgExitStatus = 20;
inline constexpr uint8_t kMsgChannelOpenFailure = 22;
inline constexpr uint8_t kMsgPortOpen = 29;
inline constexpr uint8_t kMsgIgnore = 32;
inline constexpr uint8_t kCmsgExitConfirmation = 33;
inline constexpr uint8_t kMsgDebug = 36;

// Terminal modes of the pseudo-terminal request.
inline constexpr uint8_t kTtyInputSpeed = 192;
inline constexpr uint8_t kTtyOutputSpeed = 193;
inline constexpr uint8_t kTtyEnd = 0;

// Protocol flags the client announces with the session key.
inline constexpr uint32_t kProtocolFlagScreenNumber = 1;

}  // namespace tessan::transport::ssh1
