#include "terminal/core/formatters.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "fakes.h"

namespace ostrel {
namespace {

using testing::Bytes;

struct FormatCase {
    std::string bytes;
    std::string amx;
    std::string crestron;
    std::string extron;
};

TEST(Formatters, Table) {
    const FormatCase cases[] = {
        {"", "", "", ""},
        {"Hello\r\n", R"(" 'Hello', $0D, $0A ")", R"(Hello\n)", "Hello%0D%0A"},
        {Bytes({2, 'P', 'W', 'R', 3}), R"(" $02, 'PWR', $03 ")", R"(\x02PWR\x03)", "%02PWR%03"},
        {"A B", R"(" 'A B' ")", R"(A\x20B)", "A B"},
        {"\r", R"(" $0D ")", R"(\r)", "%0D"},
        {"a\n\r", R"(" 'a', $0A, $0D ")", R"(a\x0A\r)", "a%0A%0D"},
        {"Vol 50%\r", R"(" 'Vol 50%', $0D ")", R"(Vol\x2050%\r)", "Vol 50%%0D"},
        {Bytes({127}), R"(" $7F ")", R"(\x7F)", "%7F"},
        {"\r\r\n", R"(" $0D, $0D, $0A ")", R"(\r\n)", "%0D%0D%0A"},
        {"\r\n\r\n", R"(" $0D, $0A, $0D, $0A ")", R"(\n\n)", "%0D%0A%0D%0A"},
        {"say \"hi\" 'x'", R"(" 'say "hi" 'x'' ")", R"(say\x20"hi"\x20'x')", "say \"hi\" 'x'"},
        {"\\", R"(" '\' ")", R"(\\)", "\\"},
        // An escaped backslash followed by r and an LF byte is not a CR LF pair.
        {"a\\r\n", R"(" 'a\r', $0A ")", R"(a\\r\x0A)", "a\\r%0A"},
        {Bytes({7, 8, 9, 12, 11, 0, 255}), R"(" $07, $08, $09, $0C, $0B, $00, $FF ")",
         R"(\a\b\t\f\x0B\x00\xFF)", "%07%08%09%0C%0B%00%FF"},
        {"A\rB", R"(" 'A', $0D, 'B' ")", R"(A\rB)", "A%0DB"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatAmx(c.bytes), c.amx) << c.bytes;
        EXPECT_EQ(FormatCrestron(c.bytes), c.crestron) << c.bytes;
        EXPECT_EQ(FormatExtron(c.bytes), c.extron) << c.bytes;
    }
}

std::string Hex2(int b) {
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02X", b);
    return buf;
}

// Every byte value, alone and between printable neighbours, has exactly its documented form.
TEST(Formatters, EveryByteValue) {
    for (int b = 0; b < 256; ++b) {
        const bool printable = b >= 32 && b <= 126;
        const std::string one = Bytes({b});
        const std::string ch(1, static_cast<char>(b));

        EXPECT_EQ(FormatAmx(one), printable ? "\" '" + ch + "' \"" : "\" $" + Hex2(b) + " \"");
        EXPECT_EQ(FormatAmx("x" + one + "y"),
                  printable ? "\" 'x" + ch + "y' \"" : "\" 'x', $" + Hex2(b) + ", 'y' \"");

        std::string crestron;
        switch (b) {
            case 7:
                crestron = "\\a";
                break;
            case 8:
                crestron = "\\b";
                break;
            case 9:
                crestron = "\\t";
                break;
            case 12:
                crestron = "\\f";
                break;
            case 13:
                crestron = "\\r";
                break;
            case 92:
                crestron = "\\\\";
                break;
            default:
                crestron = (b >= 33 && b <= 126) ? ch : "\\x" + Hex2(b);
        }
        EXPECT_EQ(FormatCrestron(one), crestron) << b;
        EXPECT_EQ(FormatCrestron("x" + one + "y"), "x" + crestron + "y") << b;

        const std::string extron = printable ? ch : "%" + Hex2(b);
        EXPECT_EQ(FormatExtron(one), extron) << b;
        EXPECT_EQ(FormatExtron("x" + one + "y"), "x" + extron + "y") << b;
    }
}

// Reads Crestron notation back into bytes, as a control program would.
std::string ParseCrestron(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        const char e = text.at(++i);
        switch (e) {
            case 'a':
                out += '\a';
                break;
            case 'b':
                out += '\b';
                break;
            case 't':
                out += '\t';
                break;
            case 'f':
                out += '\f';
                break;
            case 'r':
                out += '\r';
                break;
            case 'n':
                out += "\r\n";
                break;
            case '\\':
                out += '\\';
                break;
            case 'x':
                out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
                i += 2;
                break;
            default:
                ADD_FAILURE() << "unknown escape " << e;
        }
    }
    return out;
}

// Reads a NetLinx string expression back into bytes. Quoted runs end at "'" before ", " or
// before the closing " \"", which holds for data without single quotes.
std::string ParseAmx(const std::string& text) {
    if (text.empty()) return {};
    EXPECT_TRUE(text.starts_with("\" ") && text.ends_with(" \"")) << text;
    const std::string body = text.substr(2, text.size() - 4);
    std::string out;
    std::size_t i = 0;
    while (i < body.size()) {
        if (body[i] == '\'') {
            const std::size_t close = body.find('\'', i + 1);
            out += body.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            EXPECT_EQ(body[i], '$') << text;
            out += static_cast<char>(std::stoi(body.substr(i + 1, 2), nullptr, 16));
            i += 3;
        }
        if (i < body.size()) {
            EXPECT_EQ(body.substr(i, 2), ", ") << text;
            i += 2;
        }
    }
    return out;
}

TEST(Formatters, CrestronAndAmxReadBackToTheSameBytes) {
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 40, '\0');
        // Bias towards the bytes that interact: CR, LF, backslash, r, n, x.
        const char interesting[] = {'\r', '\n', '\\', 'r', 'n', 'x', '0', 'A'};
        for (char& c : bytes)
            c = random() % 2 ? interesting[random() % sizeof interesting]
                             : static_cast<char>(random() % 256);
        ASSERT_EQ(ParseCrestron(FormatCrestron(bytes)), bytes) << FormatCrestron(bytes);
        std::erase(bytes, '\'');
        ASSERT_EQ(ParseAmx(FormatAmx(bytes)), bytes) << FormatAmx(bytes);
    }
}

TEST(Formatters, ForMode) {
    EXPECT_EQ(FormatForMode(ConversionMode::Amx, "A\r"), FormatAmx("A\r"));
    EXPECT_EQ(FormatForMode(ConversionMode::Crestron, "A\r"), FormatCrestron("A\r"));
    EXPECT_EQ(FormatForMode(ConversionMode::Extron, "A\r"), FormatExtron("A\r"));
    EXPECT_EQ(FormatForMode(ConversionMode::NoConversion, "A\r"), std::nullopt);
    EXPECT_EQ(FormatForMode(static_cast<ConversionMode>(9), "A\r"), std::nullopt);
}

TEST(NetLinxPassThrough, Table) {
    struct Case {
        std::string button, device;
        std::optional<std::string> line;
    };
    const Case cases[] = {
        {"PWR ON$0D", "5001:1:0", R"(||send_string 5001:1:0, " 'PWR ON', $0D ")"},
        {"  $20VOL$20  ", "  dvProj  ", R"(||send_string dvProj, " 'VOL' ")"},
        {"$02PWR$03", "d", R"(||send_string d, " $02, 'PWR', $03 ")"},
        {"   ", "dvProj", std::nullopt},
        {"", "dvProj", std::nullopt},
        {"AB", std::string(38, 'd') + "  overflow",
         "||send_string " + std::string(38, 'd') + ", \" 'AB' \""},
        {"$20", "d", "||send_string d, "},  // decodes to a blank, which trimming removes
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuildNetLinxPassThrough(c.button, c.device), c.line) << c.button;
    }
}

}  // namespace
}  // namespace ostrel
