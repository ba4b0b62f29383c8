// Tests of read-only folders must see the permission bits obeyed, also when they run as root
// (CI containers do): the work runs on a thread of its own whose effective capabilities lack the
// ones that let root pass permission checks. Capabilities are per thread, so the rest of the test
// process keeps its own.
#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <functional>
#include <thread>

namespace ostrel::testing {

inline bool DropFileOverrides() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER, CAP_LINUX_IMMUTABLE})
        data[cap / 32].effective &= ~(1u << (cap % 32));
    return ::syscall(SYS_capset, &header, data) == 0;
}

// Runs work where permission bits apply; false when that could not be arranged.
inline bool WithPermissionsObeyed(const std::function<void()>& work) {
    if (::geteuid() != 0) {
        work();
        return true;
    }
    bool dropped = false;
    std::thread thread([&] {
        dropped = DropFileOverrides();
        if (dropped) work();
    });
    thread.join();
    return dropped;
}

}  // namespace ostrel::testing
