// The pure parts of the network layer: numeric addresses, Base64, the HTTP CONNECT request
// and reply reader, and the telnet command template.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "sshlib/transport/address_parse.h"
#include "sshlib/transport/base64.h"
#include "sshlib/transport/proxy_http.h"
#include "sshlib/transport/proxy_telnet.h"

namespace tessan {
namespace {

TEST(NumericAddress, AcceptsEveryFormAndRejectsEverythingElse) {
    struct Row {
        const char* text;
        std::optional<uint32_t> expected;
    } rows[] = {
        {"10.1", 0x0A000001},           {"0x7f.1", 0x7F000001},
        {"1.2.3.4", 0x01020304},        {"  \t1.2.3.4", 0x01020304},
        {"1.2.3.4 rest", 0x01020304},   {"1.2.3.4\r\n", 0x01020304},
        {"1.2.65535", 0x0102FFFF},      {"1.16777215", 0x01FFFFFF},
        {"4294967295", 0xFFFFFFFF},     {"0X1F.0", 0x1F000000},
        {"010.1.1.1", 0x0A010101},      {"0", 0},
        {"256.1.1.1", std::nullopt},    {"1.2.3.4.5", std::nullopt},
        {"1.2.3.4:22", std::nullopt},   {"1.2.3.256", std::nullopt},
        {"1.2.65536", std::nullopt},    {"1.16777216", std::nullopt},
        {"4294967296", std::nullopt},   {"99999999999999999999", std::nullopt},
        {"", std::nullopt},             {"   ", std::nullopt},
        {"1..2", std::nullopt},         {".1", std::nullopt},
        {"1.", std::nullopt},           {"0x", std::nullopt},
        {"0x.1", std::nullopt},         {"::1", std::nullopt},
        {"host.example", std::nullopt}, {"1.2.3.4x", std::nullopt},
        {"12a", std::nullopt},          {"1.2.3.4/24", std::nullopt},
    };
    for (const Row& row : rows) EXPECT_EQ(ParseNumericAddress(row.text), row.expected) << row.text;
    EXPECT_EQ(ParseNumericAddress(std::string_view("1.2.3.4\0junk", 12)), std::nullopt);
}

TEST(Base64, Rfc4648Vectors) {
    const char* rows[][2] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
                             {"foo", "Zm9v"},  {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
                             {"foobar", "Zm9vYmFy"}, {"\xff\xfe", "//4="}};
    for (auto& row : rows) EXPECT_EQ(Base64Encode(row[0]), row[1]) << row[0];
}

TEST(HttpConnect, RequestWithAndWithoutAuthorisation) {
    EXPECT_EQ(BuildHttpConnectRequest("h.example", 22, "", ""),
              "CONNECT h.example:22 HTTP/1.1\r\nHost: h.example:22\r\n\r\n");
    EXPECT_EQ(BuildHttpConnectRequest("h", 2222, "user", "secret"),
              "CONNECT h:2222 HTTP/1.1\r\nHost: h:2222\r\n"
              "Proxy-Authorization: Basic dXNlcjpzZWNyZXQ=\r\n\r\n");
    // A password alone still authorises (an empty user name).
    EXPECT_EQ(BuildHttpConnectRequest("h", 1, "", "pw"),
              "CONNECT h:1 HTTP/1.1\r\nHost: h:1\r\nProxy-Authorization: Basic OnB3\r\n\r\n");
}

using Status = HttpConnectReply::Status;

struct ReplyCase {
    std::string reply;
    Status status;
    size_t consumed;  // bytes the reader takes
    int code;
};

TEST(HttpConnect, ReplyReaderDecidesAndStopsAtTheEndOfTheReply) {
    const std::string tail = "SSH-2.0-server\r\n";
    const ReplyCase cases[] = {
        {"HTTP/1.0 200 Connection established\r\nProxy-agent: x\r\n\r\n" + tail,
         Status::kAccepted, 55, 200},
        {"HTTP/1.1 200 OK\n\n" + tail, Status::kAccepted, 17, 200},
        {"HTTP/1.1  204\r\n\r\n", Status::kAccepted, 17, 204},
        {"HTTP/1.1 407 Proxy Authentication Required\r\nX: y\r\n\r\n", Status::kRejected, 44, 407},
        {"HTTP/1.1 500 Oops\r\n", Status::kRejected, 19, 500},
        {"HTTP/1.1 2\r\n\r\n", Status::kAccepted, 14, 2},
        {"SSH-2.0-OpenSSH\r\n", Status::kMalformed, 17, 0},
        {"HTTP/1 200 OK\r\n", Status::kMalformed, 15, 0},
        {"HTTP/1.1\r\n", Status::kMalformed, 10, 0},
        {"http/1.1 200 OK\r\n", Status::kMalformed, 17, 0},
        {"HTTP/1.1 200 OK\r\nHeader: partial", Status::kNeedMore, 32, 200},
    };
    for (const ReplyCase& c : cases) {
        // Whole, and split at every point: the outcome and the bytes taken never change.
        for (size_t split = 0; split <= c.reply.size(); ++split) {
            HttpConnectReply reader;
            size_t used = reader.Feed(c.reply.data(), split);
            used += reader.Feed(c.reply.data() + used, c.reply.size() - used);
            ASSERT_EQ(reader.status(), c.status) << c.reply << " split " << split;
            ASSERT_EQ(used, c.consumed) << c.reply << " split " << split;
            ASSERT_EQ(reader.statusCode(), c.code) << c.reply;
        }
    }
}

TEST(HttpConnect, ReplyReaderIsBoundedAgainstHostileProxies) {
    HttpConnectReply longStatus;
    std::string huge = "HTTP/1.1 200 " + std::string(100 * 1024, 'x');
    size_t used = longStatus.Feed(huge.data(), huge.size());
    EXPECT_EQ(longStatus.status(), Status::kTooLong);
    EXPECT_LE(used, HttpConnectReply::kMaxLine + 1);

    HttpConnectReply endless;
    std::string header = "HTTP/1.1 200 OK\r\n";
    endless.Feed(header.data(), header.size());
    std::string line = "X-Filler: " + std::string(100, 'y') + "\r\n";
    size_t total = header.size();
    while (endless.status() == Status::kNeedMore && total < 10 * HttpConnectReply::kMaxHeader) {
        total += endless.Feed(line.data(), line.size());
    }
    EXPECT_EQ(endless.status(), Status::kTooLong);
    EXPECT_LE(total, HttpConnectReply::kMaxHeader + 1);
    // Once decided, the reader takes nothing more.
    EXPECT_EQ(endless.Feed(line.data(), line.size()), 0u);
}

TEST(TelnetCommand, TemplateFieldsAndEscapes) {
    TelnetCommandFields f{"h", 22, "bob", "pw", "proxy.example", 2323};
    struct Row {
        std::string pattern;
        std::string expected;
    } rows[] = {
        {std::string(kDefaultTelnetCommand), "connect h 22\n"},
        {"%user:%pass@%proxyhost:%proxyport", "bob:pw@proxy.example:2323"},
        {"100%% %other %", "100% %other %"},
        {"%hostname", "hname"},
        {"a\\\\b\\%c\\n\\r\\t", "a\\b%c\n\r\t"},
        {"\\x41\\X4a\\x7e", "AJ~"},
        {"\\x4", "\\x4"},       // a digit missing: the backslash, then from the letter on
        {"\\xg1", "\\xg1"},
        {"\\q\\", "\\q\\"},     // unknown pairs and a trailing backslash are copied
        {"\\x00end", std::string("\0end", 4)},
        {"", ""},
    };
    for (const Row& row : rows) EXPECT_EQ(ExpandTelnetCommand(row.pattern, f), row.expected) << row.pattern;
}

}  // namespace
}  // namespace tessan
