// No plaintext left behind: this program replaces free and realloc for the whole process
// (operator delete ends in free), and while a test watches, every block handed back to the heap
// is searched for the password. A real login against sshd, one with "zlib" compression against
// AsyncSSH and a protocol-1 login must leave no freed block holding it; nor may freeing
// credentials whose record the caller changed.
//
// Not built with the sanitizers, which replace the allocator themselves.
#include <execinfo.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <unistd.h>

#include <atomic>
#include <cstring>

#include "api_test_support.h"

extern "C" {
void* __libc_malloc(size_t size);
void __libc_free(void* block);
}

namespace {

std::atomic<bool> gWatching{false};
const char* gSecret = nullptr;
size_t gSecretLength = 0;
std::atomic<int> gFound{0};
thread_local bool tInHook = false;

// Called for every block about to be freed. Allocates nothing.
void Inspect(void* block) {
    if (!block || !gWatching.load(std::memory_order_acquire) || tInHook) return;
    tInHook = true;
    if (memmem(block, malloc_usable_size(block), gSecret, gSecretLength)) {
        gFound.fetch_add(1);
        // Where it was freed, for whoever has to find the copy.
        void* frames[24];
        static const char kHeader[] = "freed block holding the password, freed at:\n";
        (void)!write(2, kHeader, sizeof kHeader - 1);
        backtrace_symbols_fd(frames, backtrace(frames, 24), 2);
    }
    tInHook = false;
}

}  // namespace

extern "C" void free(void* block) {
    Inspect(block);
    __libc_free(block);
}

// The heap's own realloc would give the old block back without passing through free.
extern "C" void* realloc(void* block, size_t size) {
    if (!block) return __libc_malloc(size);
    if (size == 0) {
        free(block);
        return nullptr;
    }
    void* moved = __libc_malloc(size);
    if (!moved) return nullptr;
    std::memcpy(moved, block, std::min(size, malloc_usable_size(block)));
    free(block);
    return moved;
}

namespace tessan::apitest {
namespace {

// Watches freed blocks for `secret` for its lifetime.
class FreedMemoryWatch {
public:
    explicit FreedMemoryWatch(const std::string& secret) {
        void* frames[2];
        backtrace(frames, 2);  // loads what backtrace needs before the hook may call it
        gSecret = secret.c_str();
        gSecretLength = secret.size();
        gFound = 0;
        gWatching = true;
    }
    ~FreedMemoryWatch() { gWatching = false; }
    int Found() const { return gFound.load(); }
};

// Runs `command` over a session and disconnects; the received text.
std::string RunAndDisconnect(HCLIENT client) {
    std::string output = ReadAll(client);
    SshDisconnect(client);
    return output;
}

class FreedMemory : public SshdSuite {};

TEST_F(FreedMemory, LoginToSshdLeavesNoPasswordInFreedBlocks) {
    const std::string password = peers::PasswordAccount().password;
    FreedMemoryWatch watch(password);
    for (DWORD options : {DWORD{0}, DWORD{SSH_OPTION_PREFERMODERN}}) {
        HCLIENT client = ConnectAccount(Port(), "echo logged-in", options);
        ASSERT_NE(client, INVALID_CLIENT) << LastErrorText();
        EXPECT_NE(RunAndDisconnect(client).find("logged-in"), std::string::npos);
    }
    EXPECT_EQ(watch.Found(), 0);
}

// A login as "tester" to a server script on `port` that runs `command` and answers "hello",
// watched from the connect to the disconnect.
void ExpectNoPasswordLeftByLogin(int port, const std::string& password, const char* command) {
    SSHOPTIONS record{};
    record.dwSize = sizeof record;
    std::strcpy(record.szCommandLine, command);
    FreedMemoryWatch watch(password);
    HCLIENT client = SshConnectA("127.0.0.1", port, "tester", password.c_str(), 15,
                                 SSH_OPTION_COMMAND, &record, nullptr);
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText();
    EXPECT_NE(RunAndDisconnect(client).find("hello"), std::string::npos);
    EXPECT_EQ(watch.Found(), 0);
}

TEST(FreedMemoryScripts, LoginsWithZlibAndWithProtocol1LeaveNoPasswordInFreedBlocks) {
    Library library;
    // Longer than a string keeps inline, so every copy is a heap block.
    const std::string password = "a-password-long-enough-for-the-heap-0123456789";
    peers::AsyncSshOptions compressed;
    compressed.compression = "zlib";
    compressed.password = password;
    peers::AsyncSshPeer zlibServer;
    ASSERT_TRUE(zlibServer.Start(compressed)) << zlibServer.Error();
    ExpectNoPasswordLeftByLogin(zlibServer.Port(), password, "hello");

    peers::Ssh1Options protocol1;
    protocol1.password = password;
    peers::Ssh1Peer ssh1Server;
    ASSERT_TRUE(ssh1Server.Start(protocol1)) << ssh1Server.Error();
    ExpectNoPasswordLeftByLogin(ssh1Server.Port(), password, "print hello");
}

TEST(FreedMemoryCredentials, RecordChangedByTheCallerIsStillWipedWhole) {
    const std::string password = "credentials-password-that-lives-on-the-heap";
    for (DWORD recordedSize : {DWORD{0}, DWORD{8}}) {
        LPSECURITYCREDENTIALS credentials = nullptr;
        ASSERT_TRUE(SshCreateSecurityCredentialsA(SECURITY_PROTOCOL_SSH, 0, nullptr,
                                                  password.c_str(), nullptr, &credentials));
        // The record's fields are the caller's to change; the wipe must not depend on them.
        credentials->dwReserved = recordedSize;
        FreedMemoryWatch watch(password);
        SshDeleteSecurityCredentialsA(&credentials);
        EXPECT_EQ(credentials, nullptr);
        EXPECT_EQ(watch.Found(), 0) << "dwReserved " << recordedSize;
    }
}

TEST(FreedMemoryCredentials, RecordTheLibraryDidNotMakeIsLeftAlone) {
    // Freeing a record of the caller's own would hand the heap memory it never gave out.
    SECURITYCREDENTIALS own{};
    own.dwSize = sizeof own;
    own.dwReserved = 1 << 20;
    LPSECURITYCREDENTIALS pointer = &own;
    SshDeleteSecurityCredentialsA(&pointer);
    EXPECT_EQ(pointer, nullptr);
    EXPECT_EQ(own.dwSize, sizeof own);
}

}  // namespace
}  // namespace tessan::apitest
