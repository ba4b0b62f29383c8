// The identification-line exchange: reading the server's line, comparing versions, choosing the
// protocol, our own line, the wildcard matcher and the quirk table.
#include <gtest/gtest.h>

#include <string>

#include "sshlib/transport/quirks.h"
#include "sshlib/transport/version_exchange.h"
#include "sshlib/transport/wildcard.h"

namespace tessan::transport {
namespace {

TEST(Wildcard, Patterns) {
    struct Case {
        const char* pattern;
        const char* text;
        bool match;
    };
    const Case cases[] = {
        {"OpenSSH_2.[5-9]*", "OpenSSH_2.5.1p1", true},
        {"OpenSSH_2.[5-9]*", "OpenSSH_2.4", false},
        {"OpenSSH_2.[9-5]*", "OpenSSH_2.7", true},  // a range written backwards
        {"OpenSSH_3.[0-2]*", "OpenSSH_3.1p1", true},
        {"OpenSSH_3.[0-2]*", "OpenSSH_3.10", true},  // "[0-2]" takes the 1, "*" the 0
        {"2.0.*", "2.0.13 (F-Secure)", true},
        {"2.0.*", "2.0", false},
        {"* VShell", "2.1.0 VShell", true},
        {"* VShell", "VShell", false},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"*", "", true},
        {"", "", true},
        {"", "x", false},
        {"**b", "aab", true},
        {"[^abc]x", "dx", true},
        {"[^abc]x", "bx", false},
        {"[]]", "]", true},     // a bracket first in a set is a member
        {"[a\\]]", "]", true},  // an escaped bracket inside a set
        {"\\*", "*", true},
        {"\\*", "x", false},
        {"[a-", "a", false},      // unclosed
        {"[a-]", "a", false},     // a range ending in "]"
        {"abc\\", "abc", false},  // trailing backslash
        {"x*[", "xyz", false},    // malformed after a star still matches nothing
        {"Sun_SSH_1.0", "Sun_SSH_1.0.1", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WildcardMatch(c.pattern, c.text), c.match) << c.pattern << " / " << c.text;
    }
}

TEST(Quirks, DetectedFromTheSoftwareVersion) {
    struct Case {
        const char* version;
        uint32_t flags;
    };
    const Case cases[] = {
        {"OpenSSH_9.2p1 Debian-2", 0},
        {"OpenSSH_3.1p1", kQuirkRsaSignaturePadding},
        {"OpenSSH_2.2.0p1", kQuirkPublicKeySidLength | kQuirkNoRekey},
        {"OpenSSH_2.5.2", kQuirkRsaSignaturePadding | kQuirkNoRekey},
        {"OpenSSH_2.5.4", kQuirkRsaSignaturePadding},
        {"1.2.22", kQuirkSsh1ChokesOnIgnore},
        {"Cisco-1.25", kQuirkSsh1ChokesOnIgnore | kQuirkSsh1PlainPassword | kQuirkSsh1ChokesOnRsa},
        {"OSU_1.4alpha3", kQuirkSsh1ChokesOnIgnore | kQuirkSsh1PlainPassword},
        {"OSU_1.5alpha4", kQuirkSsh1ChokesOnIgnore},
        {"2.0.13 F-Secure", 0},  // quirk 2 is "never" by default
        {"2.0.10 SSH", kQuirkDeriveWithoutSecret},
        {"2.0.0 VShell", 0},
        {"DigiSSH_2.0", kQuirkNoRekey},
        {"Sun_SSH_1.0.1", kQuirkNoRekey},
        {"Sun_SSH_1.1", 0},
        {"", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DetectQuirks(QuirkSettings{}, c.version), c.flags) << c.version;
    }
}

TEST(Quirks, SettingsForceOrSuppress) {
    QuirkSettings decideAll;
    decideAll.hmacKeys16 = QuirkSetting::kDecide;
    EXPECT_EQ(DetectQuirks(decideAll, "2.0.13 (F-Secure)"), kQuirkHmacKeys16);
    EXPECT_EQ(DetectQuirks(decideAll, "2.1 SSH"), kQuirkHmacKeys16);
    EXPECT_EQ(DetectQuirks(decideAll, "2.0.13 VShell"), 0u);
    EXPECT_EQ(DetectQuirks(decideAll, "2.0.0 SSH"), kQuirkHmacKeys16 | kQuirkDeriveWithoutSecret);

    QuirkSettings forced;
    forced.noRekey = QuirkSetting::kAlwaysOn;
    forced.hmacKeys16 = QuirkSetting::kAlwaysOn;
    forced.rsaSignaturePadding = QuirkSetting::kNever;
    EXPECT_EQ(DetectQuirks(forced, "OpenSSH_9.2"), kQuirkNoRekey | kQuirkHmacKeys16);
    EXPECT_EQ(DetectQuirks(forced, "OpenSSH_3.1p1"), kQuirkNoRekey | kQuirkHmacKeys16);
}

TEST(Versions, CompareAndChooseTheProtocol) {
    EXPECT_LT(CompareVersions("1.99", "2.0"), 0);
    EXPECT_EQ(CompareVersions("2.0", "2.0"), 0);
    EXPECT_GT(CompareVersions("1.99", "1.5"), 0);
    EXPECT_GT(CompareVersions("1.10", "1.9"), 0);  // minors are numbers, not text
    EXPECT_EQ(CompareVersions("2", "2.0"), 0);
    struct Case {
        int preference;
        const char* version;
        int protocol;  // 0: no agreement
    };
    const Case cases[] = {
        {kPreferProtocol2, "2.0", 2},
        {kPreferProtocol2, "1.99", 2},
        {kPreferProtocol2, "1.5", 1},
        {kPreferProtocol2Only, "1.99", 2},
        {kPreferProtocol2Only, "1.5", 0},
        {kPreferProtocol1Only, "2.0", 0},
        {kPreferProtocol1Only, "1.99", 1},
        {kPreferProtocol1Only, "1.5", 1},
        {1, "1.99", 1},  // an unknown preference below 2 counts like protocol 1
    };
    for (const Case& c : cases) {
        std::optional<int> chosen = ChooseProtocol(c.preference, c.version);
        EXPECT_EQ(chosen.value_or(0), c.protocol) << c.preference << " " << c.version;
    }
}

TEST(Versions, ClientLines) {
    EXPECT_EQ(ClientLine(2, "2.0"), "SSH-2.0-Carrack_7.0\r\n");
    EXPECT_EQ(ClientLine(2, "1.99"), "SSH-2.0-Carrack_7.0\r\n");
    EXPECT_EQ(ClientLine(1, "1.5"), "SSH-1.5-Carrack_7.0\n");
    EXPECT_EQ(ClientLine(1, "1.3"), "SSH-1.3-Carrack_7.0\n");
    EXPECT_EQ(ClientLine(1, "1.99"), "SSH-1.5-Carrack_7.0\n");
}

struct LineCase {
    std::string stream;
    std::string line;
    std::string protocol;
    std::string software;
    size_t rest;  // bytes after the line feed
};

TEST(ServerLineReader, AnySplitReadsTheSameLine) {
    const LineCase cases[] = {
        {"SSH-2.0-OpenSSH_9.2\r\nXYZ", "SSH-2.0-OpenSSH_9.2", "2.0", "OpenSSH_9.2", 3},
        {"Hello there\r\nSSH-1.99-OpenSSH_3.1p1\n", "SSH-1.99-OpenSSH_3.1p1", "1.99",
         "OpenSSH_3.1p1", 0},
        {"SSSH-1.0\nSS\nSSH\nSSH-1.5-1.2.22\n\x01", "SSH-1.5-1.2.22", "1.5", "1.2.22", 1},
        {"\n\n\nSSH-2.0-x y z\rjunk\n", "SSH-2.0-x y z", "2.0", "x y z", 0},
        {"SSH-1234567890123-x\n", "SSH-1234567890123-x", "123456789", "x", 0},
        {"SSH-2.0\r\n", "SSH-2.0", "2.0", "", 0},
    };
    for (const LineCase& c : cases) {
        for (size_t split = 0; split <= c.stream.size(); ++split) {
            ServerLineReader reader;
            const uint8_t* data = reinterpret_cast<const uint8_t*>(c.stream.data());
            size_t consumed = 0, total = 0;
            ServerLineReader::Result r = reader.Feed(data, split, consumed);
            total += consumed;
            if (r != ServerLineReader::Result::kDone) {
                ASSERT_EQ(consumed, split);
                r = reader.Feed(data + split, c.stream.size() - split, consumed);
                total += consumed;
            }
            ASSERT_EQ(r, ServerLineReader::Result::kDone) << c.stream << " @" << split;
            EXPECT_EQ(reader.Line(), c.line);
            EXPECT_EQ(reader.ProtocolVersion(), c.protocol);
            EXPECT_EQ(reader.SoftwareVersion(), c.software);
            EXPECT_EQ(c.stream.size() - total, c.rest) << c.stream << " @" << split;
        }
    }
}

TEST(ServerLineReader, ManyPreLinesAndAnOverlongLine) {
    ServerLineReader reader;
    std::string junk;
    for (int i = 0; i < 10000; ++i)
        junk += "banner line " + std::to_string(i) + "\r\n";
    size_t consumed;
    EXPECT_EQ(reader.Feed(reinterpret_cast<const uint8_t*>(junk.data()), junk.size(), consumed),
              ServerLineReader::Result::kNeedMore);
    std::string line = "SSH-2.0-" + std::string(2000, 'x') + "\r\n";
    EXPECT_EQ(reader.Feed(reinterpret_cast<const uint8_t*>(line.data()), line.size(), consumed),
              ServerLineReader::Result::kTooLong);
}

}  // namespace
}  // namespace tessan::transport
