// SshCreateSecurityCredentialsA/W and SshDeleteSecurityCredentialsA/W: one allocation holding
// the record and copies of its strings.
#include <cstdlib>
#include <cstring>
#include <new>

#include "sshlib/api/tessan.h"
#include "sshlib/api/text_convert.h"
#include "sshlib/transport/secure_wipe.h"

namespace {

void FreeCredentials(LPSECURITYCREDENTIALS record) {
    if (!record) return;
    const size_t size = record->dwReserved;  // the allocation's size, kept for the wipe
    tessan::SecureWipe(record, size);
    std::free(record);
}

}  // namespace

extern "C" {

TESSAN_API BOOL SSHAPI SshCreateSecurityCredentialsA(DWORD dwProtocol, DWORD dwOptions,
                                                     LPCSTR lpszUserName, LPCSTR lpszPassword,
                                                     LPVOID lpvReserved,
                                                     LPSECURITYCREDENTIALS* lppCredentials) {
    (void)lpvReserved;
    if (!lppCredentials) {
        SshSetLastError(KX_ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    FreeCredentials(*lppCredentials);
    *lppCredentials = nullptr;
    const size_t userLength = lpszUserName ? std::strlen(lpszUserName) + 1 : 0;
    const size_t passwordLength = lpszPassword ? std::strlen(lpszPassword) + 1 : 0;
    const size_t size = sizeof(SECURITYCREDENTIALS) + userLength + passwordLength;
    auto* record = static_cast<LPSECURITYCREDENTIALS>(std::calloc(1, size));
    if (!record) {
        SshSetLastError(KX_ERROR_OUT_OF_MEMORY);
        return FALSE;
    }
    record->dwSize = sizeof(SECURITYCREDENTIALS);
    record->dwProtocol = dwProtocol;
    record->dwOptions = dwOptions;
    record->dwReserved = static_cast<DWORD>(size);
    char* strings = reinterpret_cast<char*>(record + 1);
    if (lpszPassword) {
        record->lpszPassword = strings;
        std::memcpy(strings, lpszPassword, passwordLength);
        strings += passwordLength;
    }
    if (lpszUserName) {
        record->lpszUserName = strings;
        std::memcpy(strings, lpszUserName, userLength);
    }
    *lppCredentials = record;
    return TRUE;
}

TESSAN_API BOOL SSHAPI SshCreateSecurityCredentialsW(DWORD dwProtocol, DWORD dwOptions,
                                                     LPCWSTR lpszUserName, LPCWSTR lpszPassword,
                                                     LPVOID lpvReserved,
                                                     LPSECURITYCREDENTIALS* lppCredentials) {
    std::string user = tessan::WideToUtf8(lpszUserName);
    std::string password = tessan::WideToUtf8(lpszPassword);
    BOOL result = SshCreateSecurityCredentialsA(
        dwProtocol, dwOptions, lpszUserName ? user.c_str() : nullptr,
        lpszPassword ? password.c_str() : nullptr, lpvReserved, lppCredentials);
    tessan::SecureWipe(password);
    return result;
}

TESSAN_API void SSHAPI SshDeleteSecurityCredentialsA(LPSECURITYCREDENTIALS* lppCredentials) {
    if (!lppCredentials) return;
    FreeCredentials(*lppCredentials);
    *lppCredentials = nullptr;
}

TESSAN_API void SSHAPI SshDeleteSecurityCredentialsW(LPSECURITYCREDENTIALS* lppCredentials) {
    SshDeleteSecurityCredentialsA(lppCredentials);
}

}  // extern "C"
