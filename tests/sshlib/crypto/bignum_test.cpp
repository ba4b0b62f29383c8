// Big-number arithmetic against OpenSSL's BIGNUM for random operands of many sizes, including
// both modular exponentiations for 512- to 4096-bit moduli, and the SSH wire encodings.
#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <memory>

#include "crypto/bignum.h"
#include "crypto/wire.h"
#include "test_support.h"

namespace tessan::crypto::test {
namespace {

struct BnFree {
    void operator()(BIGNUM* b) const { BN_free(b); }
};
using Bn = std::unique_ptr<BIGNUM, BnFree>;

struct Ctx {
    BN_CTX* ctx = BN_CTX_new();
    ~Ctx() { BN_CTX_free(ctx); }
};

Bn ToBn(const BigNum& value) {
    const Bytes bytes = value.ToBytes();
    return Bn(BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr));
}

std::string BnHex(const BIGNUM* b) {
    Bytes bytes(static_cast<size_t>(BN_num_bytes(b)));
    BN_bn2bin(b, bytes.data());
    return ToHex(bytes);
}

std::string NumHex(const BigNum& value) {
    return ToHex(value.ToBytes());
}

// A random number of exactly `bits` bits (top bit set), sometimes with long runs of ones or zeros
// so carries and borrows travel far.
BigNum RandomNumber(size_t bits) {
    if (bits == 0) return BigNum();
    Bytes bytes = RandomBytesForTest((bits + 7) / 8);
    const int shape = static_cast<int>(RandomSize(0, 5));
    if (shape == 0) std::fill(bytes.begin(), bytes.end(), 0xff);
    if (shape == 1) std::fill(bytes.begin() + 1, bytes.end(), 0x00);
    const size_t spare = bytes.size() * 8 - bits;
    bytes[0] &= static_cast<uint8_t>(0xff >> spare);
    bytes[0] |= static_cast<uint8_t>(0x80 >> spare);
    return BigNum::FromBytes(bytes);
}

TEST(BigNum, BytesBitsAndShifts) {
    const BigNum n = BigNum::FromBytes(Hex("00000102030405060708090a"));
    EXPECT_EQ(n.BitCount(), 73u);
    EXPECT_EQ(n.ByteCount(), 10u);
    EXPECT_EQ(n.Byte(0), 0x0a);
    EXPECT_EQ(n.Byte(9), 0x01);
    EXPECT_EQ(n.Byte(10), 0x00);
    EXPECT_EQ(n.Byte(1000), 0x00);
    EXPECT_TRUE(BigNum::FromBytes({}).IsZero());
    EXPECT_TRUE(BigNum::FromBytes(Hex("000000")).IsZero());
    EXPECT_EQ(BigNum().BitCount(), 0u);
    Bytes out(12);
    n.ToBytes(out.data(), out.size());
    EXPECT_EQ(ToHex(out), "00000102030405060708090a");
    BigNum bit;
    bit.SetBit(200);
    EXPECT_EQ(bit.BitCount(), 201u);
    EXPECT_EQ(bit.ShiftRight(200), BigNum(1));
    EXPECT_EQ(BigNum(1).ShiftLeft(200), bit);
    EXPECT_TRUE(bit.ShiftRight(201).IsZero());
}

TEST(BigNum, ArithmeticMatchesOpenSsl) {
    Ctx ctx;
    for (int round = 0; round < 600; ++round) {
        const BigNum a = RandomNumber(RandomSize(0, 1100));
        const BigNum b = RandomNumber(RandomSize(1, 700));
        const Bn ba = ToBn(a), bb = ToBn(b);
        Bn r(BN_new()), q(BN_new());

        BN_add(r.get(), ba.get(), bb.get());
        ASSERT_EQ(NumHex(BigNum::Add(a, b)), BnHex(r.get()));
        BN_mul(r.get(), ba.get(), bb.get(), ctx.ctx);
        ASSERT_EQ(NumHex(BigNum::Mul(a, b)), BnHex(r.get()));
        const BigNum& big = a >= b ? a : b;
        const BigNum& small = a >= b ? b : a;
        BN_sub(r.get(), ToBn(big).get(), ToBn(small).get());
        ASSERT_EQ(NumHex(BigNum::Sub(big, small)), BnHex(r.get()));

        BigNum ourQ, ourR;
        ASSERT_TRUE(BigNum::DivMod(a, b, &ourQ, &ourR));
        BN_div(q.get(), r.get(), ba.get(), bb.get(), ctx.ctx);
        ASSERT_EQ(NumHex(ourQ), BnHex(q.get())) << NumHex(a) << " / " << NumHex(b);
        ASSERT_EQ(NumHex(ourR), BnHex(r.get())) << NumHex(a) << " % " << NumHex(b);
        ASSERT_EQ(BigNum::Compare(a, b), BN_cmp(ba.get(), bb.get()));

        const size_t shift = RandomSize(0, 200);
        BN_rshift(r.get(), ba.get(), static_cast<int>(shift));
        ASSERT_EQ(NumHex(a.ShiftRight(shift)), BnHex(r.get()));
        BN_lshift(r.get(), ba.get(), static_cast<int>(shift));
        ASSERT_EQ(NumHex(a.ShiftLeft(shift)), BnHex(r.get()));
    }
}

TEST(BigNum, ModInverseMatchesOpenSsl) {
    Ctx ctx;
    for (int round = 0; round < 300; ++round) {
        BigNum m = RandomNumber(RandomSize(2, 600));
        const BigNum a = RandomNumber(RandomSize(0, 700));
        const auto ours = BigNum::ModInverse(a, m);
        Bn r(BN_new());
        BIGNUM* theirs = BN_mod_inverse(r.get(), ToBn(a).get(), ToBn(m).get(), ctx.ctx);
        ASSERT_EQ(ours.has_value(), theirs != nullptr) << NumHex(a) << " mod " << NumHex(m);
        if (ours) {
            ASSERT_EQ(NumHex(*ours), BnHex(r.get()));
        }
    }
    EXPECT_FALSE(BigNum::ModInverse(BigNum(3), BigNum(1)).has_value());
    EXPECT_FALSE(BigNum::ModInverse(BigNum(3), BigNum()).has_value());
    EXPECT_FALSE(BigNum::ModInverse(BigNum(), BigNum(7)).has_value());
}

TEST(BigNum, ModularExponentiationMatchesOpenSsl) {
    Ctx ctx;
    for (const size_t bits : {2, 64, 65, 130, 512, 768, 1024, 1536, 2048, 3072, 4096}) {
        const int rounds = bits <= 1024 ? 12 : (bits <= 2048 ? 4 : 2);
        for (int round = 0; round < rounds; ++round) {
            BigNum modulus = RandomNumber(bits);
            if (round % 2 == 0) modulus.SetBit(0);  // odd: the Montgomery paths
            const BigNum base =
                RandomNumber(RandomSize(1, bits + 100));  // sometimes above the modulus
            const BigNum exponent = RandomNumber(RandomSize(1, bits));
            Bn r(BN_new());
            BN_mod_exp(r.get(), ToBn(base).get(), ToBn(exponent).get(), ToBn(modulus).get(),
                       ctx.ctx);
            const std::string expected = BnHex(r.get());
            ASSERT_EQ(NumHex(BigNum::ModExp(base, exponent, modulus)), expected) << bits;
            ASSERT_EQ(NumHex(BigNum::ModExpSecret(base, exponent, modulus, bits)), expected)
                << bits;
        }
    }
}

TEST(BigNum, ModularExponentiationEdges) {
    const BigNum p = BigNum::FromBytes(Hex("f7e75fdc469067ffdc4e847c51f452df"));  // odd
    struct Case {
        BigNum base, exponent, modulus, expected;
    };
    const Case cases[] = {
        {BigNum(5), BigNum(), p, BigNum(1)},                   // x^0 = 1
        {BigNum(), BigNum(5), p, BigNum()},                    // 0^x = 0
        {BigNum(7), BigNum(3), BigNum(1), BigNum()},           // everything is 0 mod 1
        {BigNum(7), BigNum(3), BigNum(), BigNum()},            // no modulus: zero, no crash
        {BigNum(3), BigNum(5), BigNum(16), BigNum(243 % 16)},  // even modulus
        {BigNum::Sub(p, BigNum(1)), BigNum(2), p, BigNum(1)},  // (p-1)^2 = 1
        {p, BigNum(9), p, BigNum()},                           // base = modulus
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NumHex(BigNum::ModExp(c.base, c.exponent, c.modulus)), NumHex(c.expected));
        EXPECT_EQ(NumHex(BigNum::ModExpSecret(c.base, c.exponent, c.modulus, 128)),
                  NumHex(c.expected));
    }
    EXPECT_TRUE(BigNum::Mod(BigNum(5), BigNum()).IsZero());
    EXPECT_FALSE(BigNum::DivMod(BigNum(5), BigNum(), nullptr, nullptr));
}

TEST(Wire, MpintEncodingAndReading) {
    struct Case {
        const char* value;
        const char* encoded;
    };
    // RFC 4251 section 5 examples.
    const Case cases[] = {{"", "00000000"},
                          {"9a378f9b2e332a7", "0000000809a378f9b2e332a7"},
                          {"80", "000000020080"},
                          {"ff", "0000000200ff"}};
    for (const Case& c : cases) {
        std::vector<uint8_t> out;
        AppendMpint(out, BigNum::FromBytes(Hex(c.value)));
        EXPECT_EQ(ToHex(out), c.encoded);
        WireReader reader(out);
        BigNum back;
        ASSERT_TRUE(reader.ReadNonNegativeMpint(back));
        EXPECT_EQ(back, BigNum::FromBytes(Hex(c.value)));
        EXPECT_EQ(reader.Remaining(), 0u);
    }
    // Negative numbers: refused by the non-negative reader, taken as unsigned by the other.
    const Bytes negative = Hex("00000002edcc");
    BigNum value;
    WireReader strict(negative);
    EXPECT_FALSE(strict.ReadNonNegativeMpint(value));
    EXPECT_EQ(strict.Remaining(), negative.size());
    WireReader lenient(negative);
    EXPECT_TRUE(lenient.ReadUnsignedMpint(value));
    EXPECT_EQ(value, BigNum(0xedcc));
}

TEST(Wire, ReaderRefusesTruncationAndOversizeWithoutMoving) {
    for (const char* hex : {"", "000000", "00000005aabbccdd", "ffffffff00", "80000000"}) {
        const Bytes data = Hex(hex);
        WireReader reader(data);
        std::span<const uint8_t> s;
        BigNum n;
        uint32_t u;
        EXPECT_FALSE(reader.ReadString(s)) << hex;
        EXPECT_FALSE(reader.ReadUnsignedMpint(n)) << hex;
        EXPECT_EQ(reader.Remaining(), data.size());
        if (data.size() < 4) {
            EXPECT_FALSE(reader.ReadUint32(u));
        }
    }
    std::vector<uint8_t> big;
    AppendString(big, Bytes(kMaxWireNumberBits / 8 + 2, 0x01));
    WireReader reader(big);
    BigNum n;
    EXPECT_FALSE(reader.ReadUnsignedMpint(n));
    EXPECT_FALSE(reader.ReadNonNegativeMpint(n));
    std::vector<uint8_t> justFits;
    AppendMpint(justFits, BigNum(1).ShiftLeft(kMaxWireNumberBits - 1));
    WireReader fits(justFits);
    EXPECT_TRUE(fits.ReadNonNegativeMpint(n));
    EXPECT_EQ(n.BitCount(), kMaxWireNumberBits);
}

}  // namespace
}  // namespace tessan::crypto::test
