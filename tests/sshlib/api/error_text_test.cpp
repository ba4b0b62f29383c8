// Error texts: every code of the message table through SshGetErrorStringA/W, the texts the
// library quotes word for word, lengths, buffer sizes and the W forms.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "sshlib/api/error_text.h"
#include "sshlib/api/tessan.h"
#include "sshlib/api/text_convert.h"

namespace {

struct TextCase {
    DWORD code;
    int bufferSize;  // -1: NULL buffer
    int expected;
    const char* text;
};

TEST(ErrorText, ExactTextsLengthsAndBufferSizes) {
    SshSetLastError(0);
    const TextCase cases[] = {
        {KX_ERROR_OPERATION_TIMEOUT, 64, 37, "The specified operation has timed out"},
        {KX_ERROR_OPERATION_TIMEOUT, -1, 37, ""},
        {KX_ERROR_OPERATION_TIMEOUT, 38, 37, "The specified operation has timed out"},
        {KX_ERROR_OPERATION_TIMEOUT, 37, 0, ""},  // no room for the terminating zero
        {KX_ERROR_OPERATION_TIMEOUT, 1, 0, ""},
        {0, 64, 0, ""},  // no error pending
        {KX_ERROR_NONE, 64, 8, "No error"},
        {KX_ERROR_NOT_HANDLE_OWNER, 64, 38, "Handle not owned by the current thread"},
        {KX_ERROR_OPERATION_CANCELED, 64, 40, "The blocking operation has been canceled"},
        {KX_ERROR_INVALID_PARAMETER, 64, 35, "Invalid argument passed to function"},
        {KX_ERROR_INVALID_BUFFER, 64, 41, "Invalid memory address passed to function"},
        {KX_ERROR_NETWORK_NOT_AVAILABLE, 64, 56,
         "The networking subsystem is not available on this system"},
        {KX_ERROR_INVALID_HOSTNAME, 64, 58,
         "The specified hostname is invalid or could not be resolved"},
        {KX_ERROR_UNEXPECTED_SERVER_RESPONSE, 64, 45,
         "Unexpected response code returned from server"},
        {KX_ERROR_CONNECTION_CLOSED, 64, 29, "Server closed data connection"},
        {KX_ERROR_FEATURE_NOT_SUPPORTED, 64, 38, "The specified feature is not supported"},
        {0x80049999, 64, 0, ""},  // not in the table
        {0x80042F4B, 64, 0, ""},  // just past the security codes
        {5, 64, 0, ""},           // not a library code
    };
    for (const TextCase& c : cases) {
        char buffer[64];
        std::memset(buffer, 'x', sizeof buffer);
        int result = SshGetErrorStringA(c.code, c.bufferSize < 0 ? nullptr : buffer,
                                        c.bufferSize < 0 ? 0 : c.bufferSize);
        EXPECT_EQ(result, c.expected) << std::hex << c.code << " size " << c.bufferSize;
        if (c.bufferSize > 0) {
            EXPECT_STREQ(buffer, c.text) << std::hex << c.code;
        }

        char16_t wide[64];
        int wideResult = SshGetErrorStringW(c.code, c.bufferSize < 0 ? nullptr : wide,
                                            c.bufferSize < 0 ? 0 : c.bufferSize);
        EXPECT_EQ(wideResult, c.expected);
        if (c.bufferSize > 0) {
            EXPECT_EQ(tessan::WideToUtf8(wide), c.text);
        }
    }
    // Error 0 stands for the pending error; the text call leaves it unchanged.
    SshSetLastError(10061);
    char buffer[80];
    EXPECT_EQ(SshGetErrorStringA(0, buffer, sizeof buffer), 45);
    EXPECT_STREQ(buffer, "The connection was refused by the remote host");
    EXPECT_EQ(SshGetLastError(), KX_ERROR_CONNECTION_REFUSED);
}

TEST(ErrorText, EveryCodeOfTheHeaderHasATextAndNoOtherCodeHasOne) {
    const char* root = std::getenv("OSTREL_SOURCE_DIR");
    ASSERT_NE(root, nullptr);
    std::ifstream file(std::string(root) + "/sshlib/api/tessan_errors.h");
    std::stringstream text;
    text << file.rdbuf();
    std::string header = text.str();
    std::regex define(R"(#define (KX_ERROR_[A-Z_]+) (0x8004[0-9A-F]{4})UL)");
    int declared = 0;
    for (auto it = std::sregex_iterator(header.begin(), header.end(), define);
         it != std::sregex_iterator(); ++it) {
        if ((*it)[1].str() == "KX_ERROR_BASE") continue;
        DWORD code = std::stoul((*it)[2].str(), nullptr, 16);
        EXPECT_GT(SshGetErrorStringA(code, nullptr, 0), 0) << (*it)[1].str();
        ++declared;
    }
    int withText = 0;
    for (DWORD n = 0; n <= 0xFFFF; ++n)
        withText += tessan::ErrorText(KX_ERROR_BASE | n) != nullptr;
    EXPECT_EQ(withText, declared);
    EXPECT_EQ(declared, 222);
}

// The texts callers see and compare word for word.
TEST(ErrorText, QuotedTextsAreExactThroughBothForms) {
    const std::pair<DWORD, const char*> quoted[] = {
        {0x80042710, "No error"},
        {0x80042711, "Handle not owned by the current thread"},
        {0x80042714, "The blocking operation has been canceled"},
        {0x8004271C, "Out of memory"},
        {0x8004271E, "Invalid argument passed to function"},
        {0x80042726, "Invalid memory address passed to function"},
        {0x80042727, "The specified buffer is too small"},
        {0x80042733, "The specified operation would block the current thread"},
        {0x80042734, "A network operation is currently in progress"},
        {0x80042736, "Invalid handle passed to function"},
        {0x80042739, "Invalid network protocol specified"},
        {0x8004273A, "The specified network protocol is not available"},
        {0x80042749, "No connection established with remote host"},
        {0x8004274C, "The specified operation has timed out"},
        {0x8004276B, "The networking subsystem is not available on this system"},
        {0x8004276C, "This version of the operating system is not supported"},
        {0x8004276D, "The networking subsystem has not been initialized"},
        {0x80042AF9, "The specified hostname is invalid or could not be resolved"},
        {0x80042FAD, "Unexpected response code returned from server"},
        {0x80042FB2, "Invalid proxy server type specified"},
        {0x80042FB6, "Invalid command specified"},
        {0x80042FBE, "The specified username is invalid"},
        {0x80042FBF, "The specified password is invalid"},
        {0x80042FC6, "Unable to authenticate the specified user"},
        {0x80042FE0, "Server closed data connection"},
        {0x8004302A, "The specified feature is not supported"},
    };
    for (const auto& [code, text] : quoted) {
        const int length = static_cast<int>(std::strlen(text));
        char narrow[512];
        EXPECT_EQ(SshGetErrorStringA(code, narrow, sizeof narrow), length) << std::hex << code;
        EXPECT_STREQ(narrow, text);
        char16_t wide[512];
        EXPECT_EQ(SshGetErrorStringW(code, wide, 512), length) << std::hex << code;
        EXPECT_EQ(tessan::WideToUtf8(wide), text);
    }
}

// The table covers these number ranges completely (222 texts) and nothing next to them.
TEST(ErrorText, EveryNumberOfTheTableRangesHasOneDistinctText) {
    const std::pair<DWORD, DWORD> ranges[] = {
        {10000, 10024}, {10035, 10058}, {10060, 10061}, {10064, 10065},
        {10067, 10067}, {10091, 10093}, {10101, 10101}, {11001, 11004},
        {12001, 12009}, {12101, 12106}, {12201, 12230}, {12251, 12365},
    };
    std::set<std::string> texts;
    int inRanges = 0;
    for (const auto& [first, last] : ranges) {
        for (DWORD n = first; n <= last; ++n) {
            ++inRanges;
            char buffer[512];
            const int length = SshGetErrorStringA(KX_ERROR_BASE | n, buffer, sizeof buffer);
            ASSERT_GT(length, 0) << n;
            EXPECT_EQ(SshGetErrorStringA(KX_ERROR_BASE | n, nullptr, 0), length) << n;
            EXPECT_EQ(static_cast<size_t>(length), std::strlen(buffer));
            EXPECT_FALSE(std::strchr(" \r\n", buffer[length - 1])) << n;
            EXPECT_TRUE(texts.insert(buffer).second) << n << " repeats " << buffer;
        }
        EXPECT_EQ(SshGetErrorStringA(KX_ERROR_BASE | (first - 1), nullptr, 0), 0) << first - 1;
        EXPECT_EQ(SshGetErrorStringA(KX_ERROR_BASE | (last + 1), nullptr, 0), 0) << last + 1;
    }
    EXPECT_EQ(inRanges, 222);
}

}  // namespace
