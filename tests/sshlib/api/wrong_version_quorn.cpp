// A trace library of another version: the SSH library must not use it.
#include "sshlib/trace/quorn_abi.h"

extern "C" __attribute__((visibility("default"))) INT DllGetVersion(QUORNVERSIONINFO* info) {
    info->dwMajorVersion = 6;
    info->dwMinorVersion = 9;
    info->dwBuildNumber = 9000;
    return 0;
}

// Would trace if it were taken.
extern "C" __attribute__((visibility("default"))) INT QuornOrdinal3(LPCSTR, DWORD) {
    return 1;
}
