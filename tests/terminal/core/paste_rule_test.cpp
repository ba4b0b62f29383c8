#include <gtest/gtest.h>

#include <random>

#include "terminal/tools/host_identity.h"
#include "terminal/tools/http_request.h"
#include "terminal/tools/paste_rule.h"

namespace ostrel {
namespace {

TEST(PasteRule, LineBreaksBecomeDollarEscapes) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"PWR ON", "PWR ON"},
        {"a\r\nb", "a$0D$0Ab"},
        {"a\rb", "a$0D$0Ab"},
        {"a\nb", "a$0D$0Ab"},
        {"a\r\n\r\nb", "a$0D$0A$0D$0Ab"},
        {"a\n\rb", "a$0D$0A$0D$0Ab"},
        {"\r\n", "$0D$0A"},
        {"tab\tstays", "tab\tstays"},
        {"\xe9t\xe9", "\xe9t\xe9"},
    };
    for (const auto& [clipboard, pasted] : cases)
        EXPECT_EQ(DollarPasteText(clipboard), pasted);
}

TEST(HttpRequest, GeneratedRequestIsExact) {
    EXPECT_EQ(GenerateHttpRequest("  projector.local "),
              "GET / HTTP/1.0\r\n"
              "Host: projector.local\r\n"
              "Connection: close\r\n"
              "User-Agent: Mozilla/5.0 (Windows; U; Windows NT 5.1; de; rv:1.9) Gecko/2008052906 "
              "Firefox/3.0\r\n"
              "Accept-Encoding: gzip\r\n"
              "Accept-Charset: ISO-8859-1,UTF-8;q=0.7,*;q=0.7\r\n"
              "Cache-Control: no\r\n"
              "Accept-Language: de,en;q=0.7,en-us;q=0.3\r\n"
              "\r\n");
}

TEST(HttpRequest, BoxLineBreaksRoundTrip) {
    EXPECT_EQ(RequestToBoxText("a\r\nb\rc\nd"), "a\nb\nc\nd");
    EXPECT_EQ(RequestFromBoxText("a\nb\r\nc"), "a\r\nb\r\nc");
    // Any text with CR LF breaks only survives the trip through the box.
    std::mt19937 random(3);
    const char alphabet[] = {'G', 'E', 'T', ' ', '/', ':'};
    for (int i = 0; i < 500; ++i) {
        std::string text;
        for (int n = static_cast<int>(random() % 40); n > 0; --n)
            text += random() % 5 == 0 ? std::string("\r\n") : std::string(1, alphabet[random() % 6]);
        EXPECT_EQ(RequestFromBoxText(RequestToBoxText(text)), text);
    }
}

TEST(HostIdentity, NameAndUpToTenAddresses) {
    std::vector<std::string> addresses;
    for (int i = 1; i <= 12; ++i)
        addresses.push_back("10.0.0." + std::to_string(i));
    const std::vector<std::string> lines = HostIdentityLines(" studio-pc ", addresses);
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[0], "Hostname     = studio-pc");
    EXPECT_EQ(lines[1], "IP Address 1 = 10.0.0.1");
    EXPECT_EQ(lines[10], "IP Address 10 = 10.0.0.10");
    EXPECT_EQ(HostIdentityLines("pc", {}).size(), 1u);
    for (const std::string& address : LocalIPv4Addresses())
        EXPECT_NE(address.rfind("127.", 0), 0u);  // loopback is not listed
}

}  // namespace
}  // namespace ostrel
