#include "terminal/session/inet_text.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <random>

namespace ostrel {
namespace {

TEST(InetText, AddressesFormatLikeTheSystem) {
    // inet_ntop is the reference for both families, including the "::" rules of IPv6.
    std::mt19937 random(5);
    for (int i = 0; i < 3000; ++i) {
        InetAddress a;
        a.family = i % 3 == 0 ? InetAddress::Family::V4 : InetAddress::Family::V6;
        for (auto& b : a.bytes) {
            // Mostly zero groups, so that runs of zeros of every length occur.
            b = random() % 3 == 0 ? static_cast<std::uint8_t>(random()) : 0;
        }
        if (a.family == InetAddress::Family::V6 && i % 7 == 0) {
            // Not the IPv4-mapped forms, which inet_ntop writes its own way.
            a.bytes[10] = a.bytes[11] = 0;
        }
        char reference[INET6_ADDRSTRLEN] = {};
        const int af = a.family == InetAddress::Family::V4 ? AF_INET : AF_INET6;
        ASSERT_NE(inet_ntop(af, a.bytes.data(), reference, sizeof reference), nullptr);
        const bool mapped = af == AF_INET6 && std::string(reference).find('.') != std::string::npos;
        if (mapped) continue;
        EXPECT_EQ(FormatInetAddress(a), reference);
    }
    EXPECT_EQ(FormatInetAddress(InetAddress{}), "");
}

TEST(InetText, ErrorTextsFitTheCallersBuffer) {
    const int codes[] = {kInetErrorTimedOut, kInetErrorConnectionRefused, kInetErrorHostNotFound,
                         kInetErrorAddressInUse, kInetErrorTlsProtocol, kInetErrorStalledClient,
                         kInetErrorNotSocket, kInetErrorMessageSize};
    for (int code : codes) {
        const std::string_view text = InetErrorText(code);
        EXPECT_FALSE(text.empty()) << code;
        EXPECT_LT(text.size(), 128u) << code;  // ShowErrorText reads into 128 characters
    }
    EXPECT_TRUE(InetErrorText(0).empty());
    EXPECT_TRUE(InetErrorText(4660).empty());
}

TEST(InetText, CopiesAreCutAndTerminated) {
    char small[5] = {'#', '#', '#', '#', '#'};
    EXPECT_EQ(CopyToBuffer("abcdefgh", small), 4);
    EXPECT_EQ(std::string(small), "abcd");
    EXPECT_EQ(CopyToBuffer("xy", small), 2);
    EXPECT_EQ(std::string(small), "xy");
    EXPECT_EQ(CopyToBuffer("xy", std::span<char>()), 0);
}

}  // namespace
}  // namespace ostrel
