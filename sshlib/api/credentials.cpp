// SshCreateSecurityCredentialsA/W and SshDeleteSecurityCredentialsA/W: one allocation holding
// the record and copies of its strings.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

#include "crypto/secure_memory.h"
#include "sshlib/api/tessan.h"
#include "sshlib/api/text_convert.h"

namespace {

// The records this library made and the size of each allocation. The record's own fields are
// the caller's to change, so neither the size of the wipe nor whether the memory is ours to
// free is read from them.
struct Allocations {
    std::mutex lock;
    std::unordered_map<const void*, size_t> sizes;
};

Allocations& Made() {
    static auto* made = new Allocations;
    return *made;
}

// Wipes and frees a record of ours; a record the library did not make is left alone.
void FreeCredentials(LPSECURITYCREDENTIALS record) {
    if (!record) return;
    size_t size = 0;
    {
        Allocations& made = Made();
        std::lock_guard lock(made.lock);
        auto found = made.sizes.find(record);
        if (found == made.sizes.end()) return;
        size = found->second;
        made.sizes.erase(found);
    }
    tessan::SecureWipe(record, size);
    std::free(record);
}

bool Remember(LPSECURITYCREDENTIALS record, size_t size) {
    try {
        Allocations& made = Made();
        std::lock_guard lock(made.lock);
        made.sizes.emplace(record, size);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
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
    if (!record || !Remember(record, size)) {
        std::free(record);
        SshSetLastError(KX_ERROR_OUT_OF_MEMORY);
        return FALSE;
    }
    record->dwSize = sizeof(SECURITYCREDENTIALS);
    record->dwProtocol = dwProtocol;
    record->dwOptions = dwOptions;
    record->dwReserved = static_cast<DWORD>(size);  // informational: the wipe does not use it
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
    tessan::ScopedWipe wipePassword(password);
    BOOL result = SshCreateSecurityCredentialsA(
        dwProtocol, dwOptions, lpszUserName ? user.c_str() : nullptr,
        lpszPassword ? password.c_str() : nullptr, lpvReserved, lppCredentials);
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
