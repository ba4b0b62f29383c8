// The calling thread's socket error, set by every failing call of the socket layer (an error
// number of error_numbers.h).
#pragma once

#include "platform/platform_types.h"
#include "sshlib/transport/error_numbers.h"

namespace tessan::net {

// The calling thread's last socket error (0 = none).
DWORD LastSocketError();
void SetSocketError(DWORD error);

}  // namespace tessan::net
