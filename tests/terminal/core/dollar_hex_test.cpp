#include "terminal/core/dollar_hex.h"

#include <gtest/gtest.h>

#include <random>

#include "fakes.h"

namespace ostrel {
namespace {

using testing::Bytes;

struct DecodeCase {
    std::string input;
    std::string expected;
};

TEST(DecodeDollarHex, Table) {
    const DecodeCase cases[] = {
        {"", ""},
        {"Hello$0D$0A", "Hello\r\n"},
        {"$0d$0D", "\r\r"},  // either case
        {"$fF$Ff", Bytes({255, 255})},
        {"Price $$5", "Price $5"},  // doubled dollar is one literal dollar
        {"$$$$", "$$"},             // four dollars: two escapes $24$24
        {"$$$", "$"},               // the odd one out is an incomplete escape
        {"$$$41", "$A"},
        {"$$41", "$41"},  // "$$" is consumed before "41" can join it
        {"| |$41", "| |A"},
        {"AB$4", "AB"},  // incomplete escape at the end is dropped
        {"AB$", "AB"},
        {"$", ""},
        {"$zz", Bytes({0})},  // no valid digit gives 0
        {"$7f", Bytes({127})},
        {"$4G", Bytes({4})},           // G stops the number and is consumed
        {"$G1", Bytes({0})},           // the 1 is consumed too
        {"$4$41", Bytes({4}) + "41"},  // "$" is not a digit: $4$ is byte 4
        {"$1$$", Bytes({1}) + "24"},   // "$$" became "$24" before decoding
        {"$-1x", Bytes({0}) + "x"},
        {"\\x41\\r", "\\x41\\r"},  // backslashes mean nothing on input
        {Bytes({'A', 0, '$', '0', '0', 'B'}), Bytes({'A', 0, 0, 'B'})},
        {Bytes({'$', 0, 0}), Bytes({0})},  // NULs after "$" are consumed as non-digits
        {Bytes({'$', 0xC3, 0xA9, 'x'}), Bytes({0, 'x'})},
        {"$20ABC$20", " ABC "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeDollarHex(c.input), c.expected) << "input: " << c.input;
    }
}

TEST(DecodeDollarHex, EveryByteValueByEscapeAndAsItself) {
    for (int b = 0; b < 256; ++b) {
        const std::string upper = EncodeDollarHex(Bytes({b}));
        std::string lower = upper;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(DecodeDollarHex(upper), Bytes({b})) << b;
        EXPECT_EQ(DecodeDollarHex(lower), Bytes({b})) << b;
        if (b != '$') {
            const std::string plain = Bytes({'x', b, 'y'});
            EXPECT_EQ(DecodeDollarHex(plain), plain) << b;
        }
    }
}

TEST(DecodeDollarHex, DollarRunsHalve) {
    for (std::size_t n = 0; n < 40; ++n) {
        EXPECT_EQ(DecodeDollarHex(std::string(n, '$')), std::string(n / 2, '$')) << n;
        EXPECT_EQ(DecodeDollarHex(std::string(n, '$') + "41"),
                  std::string(n / 2, '$') + (n % 2 ? "A" : "41"))
            << n;
    }
}

TEST(DecodeDollarHex, LongLines) {
    const std::string dollars(100000, '$');
    EXPECT_EQ(DecodeDollarHex(dollars), std::string(50000, '$'));

    std::string escapes;
    for (int i = 0; i < 33333; ++i)
        escapes += "$7e";
    escapes += "$";  // 100000 characters, ending in an incomplete escape
    EXPECT_EQ(DecodeDollarHex(escapes), std::string(33333, '~'));

    const std::string plain(100000, 'a');
    EXPECT_EQ(DecodeDollarHex(plain), plain);
}

TEST(EncodeDollarHex, Table) {
    EXPECT_EQ(EncodeDollarHex(""), "");
    EXPECT_EQ(EncodeDollarHex(Bytes({72, 105, 13})), "$48 $69 $0D");
    EXPECT_EQ(EncodeDollarHex(Bytes({0})), "$00");
    EXPECT_EQ(EncodeDollarHex(Bytes({255, 0x0a})), "$FF $0A");
}

TEST(EncodeDollarHex, EveryByteValue) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string text = EncodeDollarHex(all);
    ASSERT_EQ(text.size(), 256u * 4 - 1);
    for (int b = 0; b < 256; ++b) {
        const std::string item = text.substr(static_cast<std::size_t>(b) * 4, 3);
        char expected[4];
        std::snprintf(expected, sizeof expected, "$%02X", b);
        EXPECT_EQ(item, expected);
        if (b != 255) {
            EXPECT_EQ(text[static_cast<std::size_t>(b) * 4 + 3], ' ');
        }
    }
}

// Property: the hex view's notation, typed back without its blanks, gives the same bytes.
TEST(DollarHex, RoundTripOfRandomBytes) {
    std::mt19937 random(20240307);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 64, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() % 256);
        std::string typed = EncodeDollarHex(bytes);
        std::erase(typed, ' ');
        ASSERT_EQ(DecodeDollarHex(typed), bytes);
    }
}

}  // namespace
}  // namespace ostrel
