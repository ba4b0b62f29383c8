// Diffie-Hellman: the fixed groups against the derived exchange vectors (e, f, K and their
// mpints), the exponent rule of create-e, the 1 .. p-1 range of f, and refusal of unusable
// server groups.
#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <deque>

#include "crypto/dh.h"
#include "crypto/kex.h"
#include "crypto/random_pool.h"
#include "crypto/wire.h"
#include "test_support.h"

namespace tessan::crypto::test {
namespace {

// Random bytes that spell out a chosen exponent: with CreateE(bits(x) - 1) the low bits of x come
// from these bytes, least significant first.
DiffieHellman::RandomSource Spelling(const BigNum& x) {
    auto bytes = std::make_shared<std::deque<uint8_t>>();
    for (size_t i = 0; i < x.ByteCount(); ++i)
        bytes->push_back(x.Byte(i));
    return [bytes]() {
        const uint8_t b = bytes->empty() ? 0 : bytes->front();
        if (!bytes->empty()) bytes->pop_front();
        return b;
    };
}

std::string Mpint(const BigNum& n) {
    Bytes out;
    AppendMpint(out, n);
    return ToHex(out);
}

TEST(DiffieHellman, DerivedGroupExchanges) {
    const auto json = ReadJson("dh/dh_groups_derived.json");
    int checked = 0;
    for (const auto& group : json["groups"]) {
        const KexDescriptor* kex = FindKex(group["kex"].get<std::string>());
        ASSERT_NE(kex, nullptr);
        for (const auto& exchange : group["exchanges"]) {
            const BigNum x = HexNumber(exchange["x"].get<std::string>());
            DiffieHellman dh(Spelling(x));
            ASSERT_TRUE(dh.SetupGroup(*kex));
            EXPECT_EQ(dh.Prime(), HexNumber(group["p"].get<std::string>()));
            const BigNum& e = dh.CreateE(x.BitCount() - 1);
            ASSERT_EQ(dh.PrivateExponentForTest(), x);
            EXPECT_EQ(e, HexNumber(exchange["e"].get<std::string>())) << exchange["comment"];
            EXPECT_EQ(Mpint(e), exchange["e_mpint"].get<std::string>());
            const auto k = dh.FindK(HexNumber(exchange["f"].get<std::string>()));
            ASSERT_TRUE(k.has_value());
            EXPECT_EQ(*k, HexNumber(exchange["K"].get<std::string>()));
            EXPECT_EQ(Mpint(*k), exchange["K_mpint"].get<std::string>());
            ++checked;
        }
        for (const auto& check : group["rangeChecks"]) {
            const BigNum x =
                check.contains("x") ? HexNumber(check["x"].get<std::string>()) : BigNum(257);
            DiffieHellman dh(Spelling(x));
            ASSERT_TRUE(dh.SetupGroup(*kex));
            dh.CreateE(x.BitCount() - 1);
            const auto k = dh.FindK(HexNumber(check["f"].get<std::string>()));
            EXPECT_EQ(k.has_value(), check["accept"].get<bool>()) << check["f"];
            if (k && check.contains("expectedK")) {
                EXPECT_EQ(*k, HexNumber(check["expectedK"].get<std::string>()));
            }
            ++checked;
        }
    }
    EXPECT_EQ(checked, 14);
}

TEST(DiffieHellman, ExponentRule) {
    RandomPoolReference pool;
    BN_CTX* ctx = BN_CTX_new();
    for (const KexDescriptor* kex : {&kKexGroup1Sha1, &kKexGroup14Sha1}) {
        struct Case {
            size_t bits;
            size_t exactBits;  // 0: only 1 < x < q is promised
        };
        for (const Case c :
             {Case{256, 257}, Case{320, 321}, Case{1, 2}, Case{0, 0}, Case{5000, 0}}) {
            for (int round = 0; round < 4; ++round) {
                DiffieHellman dh;
                ASSERT_TRUE(dh.SetupGroup(*kex));
                const BigNum e = dh.CreateE(c.bits);
                const BigNum& x = dh.PrivateExponentForTest();
                if (c.exactBits != 0) {
                    EXPECT_EQ(x.BitCount(), c.exactBits);
                }
                EXPECT_GT(x, BigNum(1));
                EXPECT_LT(x, dh.SubgroupOrder());
                EXPECT_EQ(dh.SubgroupOrder(), dh.Prime().ShiftRight(1));
                // e = 2^x mod p, by OpenSSL.
                BIGNUM* p =
                    BN_bin2bn(kex->prime.data(), static_cast<int>(kex->prime.size()), nullptr);
                const Bytes xb = x.ToBytes();
                BIGNUM* bx = BN_bin2bn(xb.data(), static_cast<int>(xb.size()), nullptr);
                BIGNUM* two = BN_new();
                BN_set_word(two, 2);
                BIGNUM* r = BN_new();
                BN_mod_exp(r, two, bx, p, ctx);
                Bytes expected(static_cast<size_t>(BN_num_bytes(r)));
                BN_bn2bin(r, expected.data());
                EXPECT_EQ(ToHex(e.ToBytes()), ToHex(expected));
                BN_free(p);
                BN_free(bx);
                BN_free(two);
                BN_free(r);
            }
        }
    }
    BN_CTX_free(ctx);
}

TEST(DiffieHellman, BothSidesAgree) {
    RandomPoolReference pool;
    DiffieHellman client, server;
    ASSERT_TRUE(client.SetupGroup(kKexGroup14Sha1));
    ASSERT_TRUE(server.SetupGroup(kKexGroup14Sha1));
    const BigNum e = client.CreateE(512);
    const BigNum f = server.CreateE(512);
    EXPECT_EQ(client.FindK(f), server.FindK(e));
    client.Clear();
    EXPECT_TRUE(client.Prime().IsZero());
    EXPECT_TRUE(client.PrivateExponentForTest().IsZero());
}

TEST(DiffieHellman, ServerGroupsAreChecked) {
    const BigNum p14 = BigNum::FromBytes(kKexGroup14Sha1.prime);
    const BigNum p1 = BigNum::FromBytes(kKexGroup1Sha1.prime);
    struct Case {
        BigNum p, g;
        bool accepted;
    };
    const Case cases[] = {
        {p14, BigNum(2), true},
        {p1, BigNum(5), true},
        {p14, BigNum(1), false},
        {p14, BigNum(), false},
        {p14, BigNum::Sub(p14, BigNum(1)), false},
        {p14, p14, false},
        {BigNum::Add(p14, BigNum(1)), BigNum(2), false},  // even
        {p1.ShiftRight(512), BigNum(2), false},           // 512 bits
        {BigNum(1).ShiftLeft(8200).ShiftRight(0), BigNum(2), false},
        {BigNum(), BigNum(2), false},
    };
    for (const Case& c : cases) {
        DiffieHellman dh;
        EXPECT_EQ(dh.SetupServerGroup(c.p, c.g), c.accepted) << c.p.BitCount();
    }
    DiffieHellman fixed;
    EXPECT_FALSE(fixed.SetupGroup(kKexGroupExchangeSha1));
    // An accepted group works end to end, also for a request as large as q itself.
    RandomPoolReference pool;
    DiffieHellman dh;
    ASSERT_TRUE(dh.SetupServerGroup(p1, BigNum(2)));
    dh.CreateE(dh.SubgroupOrder().BitCount());
    EXPECT_LT(dh.PrivateExponentForTest(), dh.SubgroupOrder());
    dh.CreateE(dh.SubgroupOrder().BitCount() - 1);
    EXPECT_LT(dh.PrivateExponentForTest(), dh.SubgroupOrder());
}

}  // namespace
}  // namespace tessan::crypto::test
