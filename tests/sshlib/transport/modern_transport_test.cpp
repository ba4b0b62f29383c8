// The modern modes of the transport against the scripted server: strict key exchange, the
// authenticated ciphers and encrypt-then-MAC under tampering, and hostile elliptic-curve values.
// Each failure must end the connection at once, with the error that names it.
#include <gtest/gtest.h>

#include "crypto/wire.h"
#include "scripted_server.h"
#include "sshlib/transport/ssh_constants.h"
#include "test_client.h"

namespace tessan::transport::test {
namespace {

constexpr char kStrictCurve[] = "curve25519-sha256,kex-strict-s-v00@openssh.com";

Bytes Payload(uint8_t type, std::string_view text = {}) {
    Bytes p = {type};
    if (!text.empty()) crypto::AppendString(p, text);
    return p;
}

ServerConfig Config(const char* kex, const char* cipher, const char* mac = "hmac-sha1") {
    ServerConfig config;
    config.lists[kListKex] = kex;
    config.strict = std::string_view(kex).find("kex-strict-s") != std::string_view::npos;
    for (int d = 0; d < 2; ++d) {
        config.lists[kListCipherClientToServer + d] = cipher;
        config.lists[kListMacClientToServer + d] = mac;
    }
    return config;
}

// One packet each way after the handshake; returns the sequence number the server read.
uint32_t ExchangeOnePacketEachWay(Client& client, ScriptedServer& server) {
    OutgoingPacket request(kMsgServiceRequest);
    request.AddString(std::string_view("ssh-userauth"));
    client->SendPacket(std::move(request));
    std::optional<Bytes> received = server.NextProtocolPacket();
    EXPECT_TRUE(received && received->at(0) == kMsgServiceRequest);
    const size_t before = client.packets.size();
    server.Send(Payload(kMsgServiceAccept, "ssh-userauth"));
    EXPECT_EQ(client.packets.size(), before + 1);
    EXPECT_FALSE(client->IsClosed()) << client.failure.text;
    return server.LastSequence();
}

// The original lists lead unchanged and the modern names follow in their fixed order; the flag
// swaps the two groups. The modes that need strict key exchange appear only when it is known.
TEST(ModernOffer, OriginalListsLeadAndTheFlagPutsTheModernOnesFirst) {
    const std::string originalKex =
        "diffie-hellman-group-exchange-sha256,diffie-hellman-group-exchange-sha1,"
        "diffie-hellman-group14-sha1,diffie-hellman-group1-sha1";
    const std::string modernKex =
        "curve25519-sha256,curve25519-sha256@libssh.org,ecdh-sha2-nistp256,"
        "diffie-hellman-group16-sha512,diffie-hellman-group18-sha512,diffie-hellman-group14-sha256";
    const std::string originalHostKeys = "ssh-rsa,ssh-dss";
    const std::string modernHostKeys = "ssh-ed25519,ecdsa-sha2-nistp256,rsa-sha2-512,rsa-sha2-256";
    const std::string originalCiphers =
        "aes256-ctr,aes256-cbc,rijndael-cbc@lysator.liu.se,aes192-ctr,aes192-cbc,aes128-ctr,"
        "aes128-cbc,blowfish-ctr,blowfish-cbc,3des-ctr,3des-cbc,arcfour256,arcfour128";
    const std::string gcm = "aes128-gcm@openssh.com,aes256-gcm@openssh.com";
    const std::string originalMacs = "hmac-sha1,hmac-sha1-96,hmac-md5";
    const std::string sha2 = "hmac-sha2-256,hmac-sha2-512";
    const std::string etm =
        "hmac-sha2-256-etm@openssh.com,hmac-sha2-512-etm@openssh.com,hmac-sha1-etm@openssh.com";
    const std::string marker = ",kex-strict-c-v00@openssh.com";
    struct Case {
        bool modernFirst;
        OfferContext context;
        std::string kex, hostKeys, ciphers, macs;
    };
    const Case cases[] = {
        {false,
         {true, false},
         originalKex + "," + modernKex + marker,
         originalHostKeys + "," + modernHostKeys,
         originalCiphers + "," + gcm,
         originalMacs + "," + sha2},
        {false,
         {true, true},
         originalKex + "," + modernKex + marker,
         originalHostKeys + "," + modernHostKeys,
         originalCiphers + ",chacha20-poly1305@openssh.com," + gcm,
         originalMacs + "," + sha2 + "," + etm},
        {true,
         {false, true},
         modernKex + "," + originalKex,
         modernHostKeys + "," + originalHostKeys,
         "chacha20-poly1305@openssh.com," + gcm + "," + originalCiphers,
         sha2 + "," + etm + "," + originalMacs},
    };
    for (const Case& c : cases) {
        KexSettings settings;
        settings.modernFirst = c.modernFirst;
        const auto lists = OfferedLists(settings, c.context);
        EXPECT_EQ(lists[kListKex], c.kex);
        EXPECT_EQ(lists[kListHostKey], c.hostKeys);
        EXPECT_EQ(lists[kListCipherClientToServer], c.ciphers);
        EXPECT_EQ(lists[kListCipherServerToClient], c.ciphers);
        EXPECT_EQ(lists[kListMacClientToServer], c.macs);
        EXPECT_EQ(lists[kListMacServerToClient], c.macs);
    }
}

TEST(StrictKex, BothSidesAgreeAndNumberingRestartsAtEveryNewKeys) {
    Client client;
    ScriptedServer server(*client, Config(kStrictCurve, "chacha20-poly1305@openssh.com"));
    ASSERT_TRUE(server.Handshake()) << client.failure.text;
    EXPECT_TRUE(client->Kex().Strict());
    auto init = ParseKexInit(server.ClientKexInit());
    EXPECT_TRUE(init->lists[kListKex].ends_with(",kex-strict-c-v00@openssh.com"));
    // Told the server is strict, the client offered the modes that need it (and chose one).
    EXPECT_TRUE(
        NameListContains(init->lists[kListMacClientToServer], "hmac-sha2-256-etm@openssh.com"));
    EXPECT_EQ(client->Algorithms().cipher[0]->name, "chacha20-poly1305@openssh.com");
    // The nonce is the sequence number: a client that kept counting would fail here.
    EXPECT_EQ(ExchangeOnePacketEachWay(client, server), 0u);
    ASSERT_TRUE(server.Rekey());
    EXPECT_EQ(ExchangeOnePacketEachWay(client, server), 0u);
    // A re-key's init no longer asks for strict mode.
    EXPECT_FALSE(NameListContains(ParseKexInit(server.ClientKexInit())->lists[kListKex],
                                  "kex-strict-c-v00@openssh.com"));
}

TEST(StrictKex, AnythingBesidesTheExchangeDuringTheFirstOneEndsTheConnection) {
    struct Case {
        const char* name;
        bool strict;
        bool ignoreFirst;               // an ignore message before the server's init
        std::vector<Bytes> afterReply;  // slipped in before the server's new-keys
    };
    const Case cases[] = {
        {"ignore before new-keys", true, false, {Payload(kMsgIgnore, "x")}},
        {"debug before new-keys", true, false, {{kMsgDebug, 0, 0, 0, 0, 0, 0, 0, 0, 0}}},
        {"ignore before the server's init", true, true, {}},
        {"not strict: ignore before new-keys", false, false, {Payload(kMsgIgnore, "x")}},
        {"not strict: ignore first", false, true, {}},
    };
    for (const Case& c : cases) {
        Client client;
        ScriptedServer server(*client,
                              Config(c.strict ? kStrictCurve : "curve25519-sha256", "aes128-ctr"));
        server.SendVersion();
        server.ReadVersion();
        if (c.ignoreFirst) server.Send(Payload(kMsgIgnore, "x"));
        server.SendKexInit();
        if (!client->IsClosed()) {
            ASSERT_TRUE(server.ReadKexInit()) << c.name;
            Tamper tamper;
            tamper.afterReply = c.afterReply;
            ASSERT_TRUE(server.RunDh(tamper)) << c.name;
        }
        if (c.strict) {
            ASSERT_TRUE(client->IsClosed()) << c.name;
            EXPECT_EQ(client.failure.error, kErrProtocol) << c.name;
            EXPECT_EQ(client.failure.reason, kDisconnectProtocolError) << c.name;
            EXPECT_NE(client.failure.text.find("Strict key exchange"), std::string::npos);
            continue;
        }
        // Without strict mode the old rules hold: the exchange completes and numbering runs on.
        ASSERT_TRUE(server.ReadNewKeys()) << c.name;
        server.SendNewKeys();
        ASSERT_EQ(client->GetPhase(), Transport::Phase::kOpen) << c.name;
        EXPECT_GT(ExchangeOnePacketEachWay(client, server), 0u);
        auto init = ParseKexInit(server.ClientKexInit());
        EXPECT_FALSE(NameListContains(init->lists[kListCipherClientToServer],
                                      "chacha20-poly1305@openssh.com"));
        EXPECT_FALSE(
            NameListContains(init->lists[kListMacClientToServer], "hmac-sha1-etm@openssh.com"));
    }
}

// Under each authenticated cipher and an encrypt-then-MAC MAC: a packet whose length, body or
// tag was changed, or whose tag was cut short, ends the connection before anything of it is
// used; an impossible length ends it as soon as the length has arrived.
TEST(AuthenticatedFraming, TamperedPacketsEndTheConnectionAtOnce) {
    struct Mode {
        const char* kex;
        const char* cipher;
        const char* mac;
    };
    // SHA-1 key derivation has to run four rounds for the 64-byte keys of ChaCha20-Poly1305
    // and HMAC-SHA-512; SHA-512 needs one.
    constexpr char kStrictGroup14Sha1[] =
        "diffie-hellman-group14-sha1,kex-strict-s-v00@openssh.com";
    constexpr char kStrictGroup16[] = "diffie-hellman-group16-sha512,kex-strict-s-v00@openssh.com";
    const Mode modes[] = {
        {kStrictCurve, "chacha20-poly1305@openssh.com", "hmac-sha1"},
        {kStrictGroup14Sha1, "chacha20-poly1305@openssh.com", "hmac-sha1"},
        {kStrictCurve, "aes128-gcm@openssh.com", "hmac-sha1"},
        {kStrictGroup16, "aes256-gcm@openssh.com", "hmac-sha1"},
        {kStrictCurve, "aes128-ctr", "hmac-sha2-256-etm@openssh.com"},
        {kStrictGroup14Sha1, "aes256-ctr", "hmac-sha2-512-etm@openssh.com"},
    };
    enum class Damage { kNone, kCutTag, kHighLengthByte, kLowLengthByte, kBodyByte, kTagByte };
    struct Case {
        const char* name;
        Damage damage;
        DWORD error;
    };
    const Case cases[] = {
        {"intact", Damage::kNone, 0},
        {"tag cut short", Damage::kCutTag, kErrMessageAuthentication},
        {"length beyond any packet", Damage::kHighLengthByte, kErrProtocol},
        {"length changed by a block", Damage::kLowLengthByte, kErrMessageAuthentication},
        {"body byte", Damage::kBodyByte, kErrMessageAuthentication},
        {"tag byte", Damage::kTagByte, kErrMessageAuthentication},
    };
    for (const Mode& mode : modes) {
        for (const Case& c : cases) {
            const std::string label =
                std::string(mode.kex) + " " + mode.cipher + " " + mode.mac + ": " + c.name;
            Client client;
            ScriptedServer server(*client, Config(mode.kex, mode.cipher, mode.mac));
            ASSERT_TRUE(server.Handshake()) << label << client.failure.text;
            ExchangeOnePacketEachWay(client, server);
            Bytes framed = server.Frame(Payload(kMsgServiceAccept, "ssh-userauth"));
            uint8_t cutTagByte = 0;
            switch (c.damage) {
                case Damage::kNone:
                    break;
                case Damage::kCutTag:
                    cutTagByte = framed.back();
                    framed.pop_back();
                    break;
                case Damage::kHighLengthByte:
                    framed[0] ^= 0x01;
                    break;
                case Damage::kLowLengthByte:
                    framed[3] ^= 0x10;
                    break;
                case Damage::kBodyByte:
                    framed[6] ^= 0x80;
                    break;
                case Damage::kTagByte:
                    framed.back() ^= 0x01;
                    break;
            }
            // What follows supplies the bytes a damaged length or tag waits for.
            Bytes next = server.Frame(Payload(kMsgIgnore, std::string(40, 'i')));
            if (c.damage == Damage::kCutTag && next.front() == cutTagByte) {
                // The byte filling the gap equals the one cut off (one time in 256): the packet
                // would be whole again, so let the filler differ.
                framed.push_back(cutTagByte ^ 0x01);
            }
            framed.insert(framed.end(), next.begin(), next.end());
            const size_t before = client.packets.size();
            server.FeedClient(framed);
            if (c.damage == Damage::kNone) {
                EXPECT_FALSE(client->IsClosed()) << label << client.failure.text;
                EXPECT_EQ(client.packets.size(), before + 1) << label;
                continue;
            }
            ASSERT_TRUE(client->IsClosed()) << label;
            EXPECT_EQ(client.failure.error, c.error) << label;
            EXPECT_EQ(client.packets.size(), before) << label;
        }
    }
}

// Each modern host key type: its signature over the exchange hash is accepted, and a changed
// signature ends the connection before any key is used.
TEST(ModernHostKeys, GenuineSignaturesPassAndForgedOnesEndTheConnection) {
    for (const char* hostKey :
         {"ssh-ed25519", "ecdsa-sha2-nistp256", "rsa-sha2-512", "rsa-sha2-256"}) {
        for (bool forged : {false, true}) {
            Client client;
            ServerConfig config = Config("curve25519-sha256", "aes128-ctr");
            config.lists[kListHostKey] = hostKey;
            ScriptedServer server(*client, config);
            ASSERT_TRUE(server.ExchangeInits());
            Tamper tamper;
            tamper.badSignature = forged;
            ASSERT_TRUE(server.RunDh(tamper));
            EXPECT_EQ(client->IsClosed(), forged) << hostKey << client.failure.text;
            if (forged) {
                EXPECT_EQ(client.failure.error, kErrHostKeyNotVerified) << hostKey;
                EXPECT_EQ(client.failure.reason, kDisconnectHostKeyNotVerifiable) << hostKey;
                continue;
            }
            ASSERT_TRUE(server.ReadNewKeys());
            server.SendNewKeys();
            EXPECT_EQ(client->GetPhase(), Transport::Phase::kOpen) << hostKey;
            EXPECT_EQ(client->Algorithms().hostKey->name, hostKey);
            EXPECT_TRUE(client->FingerprintSha256().starts_with("SHA256:"));
        }
    }
}

TEST(EllipticCurve, ServerValuesWithoutAUsableSecretEndTheExchange) {
    Bytes lowOrder(32, 0);
    lowOrder[0] = 1;  // u = 1: a point of small order, the shared secret is all zero
    const Bytes values[] = {Bytes(32, 0), lowOrder, Bytes(31, 9), Bytes(33, 9)};
    for (const Bytes& value : values) {
        Client client;
        ScriptedServer server(*client, Config("curve25519-sha256", "aes128-ctr"));
        ASSERT_TRUE(server.ExchangeInits());
        Tamper tamper;
        tamper.serverPublic = value;
        ASSERT_TRUE(server.RunDh(tamper));
        ASSERT_TRUE(client->IsClosed()) << value.size();
        EXPECT_EQ(client.failure.error, kErrKeyExchangeFailed);
        EXPECT_EQ(client.failure.reason, kDisconnectKeyExchangeFailed);
        EXPECT_TRUE(client->SessionId().empty());
    }
}

}  // namespace
}  // namespace tessan::transport::test
