/* The public header from C: record layouts and the available calls through libtessan.so. */
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "tessan.h"

_Static_assert(sizeof(INITDATA) == 156, "INITDATA is 156 bytes");
_Static_assert(sizeof(INITDATAW) == 284, "INITDATAW is 284 bytes");
_Static_assert(sizeof(SSHOPTIONS) == 952, "SSHOPTIONS is 952 bytes");
_Static_assert(sizeof(SSHOPTIONSW) == 1880, "SSHOPTIONSW is 1880 bytes");
_Static_assert(offsetof(SSHOPTIONS, szProxyHost) == 16, "proxy host at 16");
_Static_assert(offsetof(SSHOPTIONS, szProxyUser) == 144, "proxy user at 144");
_Static_assert(offsetof(SSHOPTIONS, szProxyPassword) == 272, "proxy password at 272");
_Static_assert(offsetof(SSHOPTIONS, nTermCols) == 400, "columns at 400");
_Static_assert(offsetof(SSHOPTIONS, nTermRows) == 404, "rows at 404");
_Static_assert(offsetof(SSHOPTIONS, szTermType) == 408, "terminal type at 408");
_Static_assert(offsetof(SSHOPTIONS, szCommandLine) == 440, "command line at 440");
_Static_assert(sizeof(HCLIENT) == 4 && sizeof(DWORD) == 4, "32-bit handles and codes");

static int passed = 0, failed = 0;

static void check(int ok, const char* what) {
    if (ok) {
        ++passed;
    } else {
        ++failed;
        printf("FAILED: %s\n", what);
    }
}

int main(void) {
    INITDATA data;
    memset(&data, 0, sizeof data);
    data.dwSize = sizeof data;
    check(SshInitializeA(NULL, &data) != 0, "SshInitializeA succeeds");
    check(strcmp(data.szDescription, "Carrack Secure Shell Protocol Library") == 0, "description");
    check(data.dwVersionMajor == SSH_VERSION_MAJOR && data.dwVersionBuild == SSH_VERSION_BUILD,
          "version");

    char text[64];
    check(SshGetErrorStringA(KX_ERROR_OPERATION_TIMEOUT, text, sizeof text) == 37, "text length");
    check(strcmp(text, "The specified operation has timed out") == 0, "text");

    SshSetLastError(10061);
    check(SshGetLastError() == KX_ERROR_CONNECTION_REFUSED, "socket error mapped");
    check((INT)SshGetLastError() < 0, "library codes are negative as 32-bit integers");

    WCHAR wide[64];
    check(SshGetErrorStringW(KX_ERROR_NONE, wide, 64) == 8 && wide[0] == 'N' && wide[8] == 0,
          "wide text");

    SshUninitialize();
    data.dwSize = 0;
    check(SshInitializeA(NULL, &data) == 0 && SshGetLastError() == KX_ERROR_INVALID_PARAMETER,
          "wrong size refused");

    printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
