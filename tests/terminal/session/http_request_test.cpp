#include "terminal/session/http_request.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace ostrel {
namespace {

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
            text +=
                random() % 5 == 0 ? std::string("\r\n") : std::string(1, alphabet[random() % 6]);
        EXPECT_EQ(RequestFromBoxText(RequestToBoxText(text)), text);
    }
}

}  // namespace
}  // namespace ostrel
