// The transport machine against the scripted in-process server: exact layouts, the key
// exchange in every variant, re-keying, and the failures that must end a connection at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "crypto/bytes.h"
#include "crypto/kex.h"
#include "crypto/random_pool.h"
#include "crypto/wire.h"
#include "scripted_server.h"
#include "sshlib/transport/ssh_constants.h"
#include "sshlib/transport/ssh_transport.h"
#include "test_client.h"

namespace tessan::transport::test {
namespace {

Bytes Payload(uint8_t type, std::string_view text = {}) {
    Bytes p = {type};
    if (!text.empty()) crypto::AppendString(p, text);
    return p;
}

// Reads a plain (unencrypted) packet at `offset`: its payload, and the padding it used.
struct PlainPacket {
    uint32_t packetLength;
    uint8_t padding;
    Bytes payload;
};
PlainPacket ReadPlain(const Bytes& bytes, size_t offset) {
    PlainPacket p;
    p.packetLength = crypto::LoadBe32(bytes.data() + offset);
    p.padding = bytes[offset + 4];
    p.payload.assign(bytes.begin() + offset + 5,
                     bytes.begin() + offset + 4 + p.packetLength - p.padding);
    return p;
}

TEST(TransportStart, WaitsForTheServerLineThenSendsItsOwnAndTheKexInit) {
    Client client;
    EXPECT_TRUE(client->PendingOutput().empty());  // the client never speaks first
    ScriptedServer server(*client);
    server.SetFeedChunk(1);
    std::string greeting = "Welcome to the box\r\nSSH-2.0-OpenSSH_9.2p1 Debian\r\n";
    server.FeedClient(Bytes(greeting.begin(), greeting.end()));
    EXPECT_EQ(client->ServerVersionLine(), "SSH-2.0-OpenSSH_9.2p1 Debian");
    EXPECT_EQ(client->GetPhase(), Transport::Phase::kKeyExchange);

    // The line goes out at once; the key-exchange-init answers the server's.
    server.Collect();
    const std::string line = "SSH-2.0-Carrack_7.0\r\n";
    EXPECT_EQ(std::string(server.Input().begin(), server.Input().end()), line);
    server.Input().clear();
    server.SendKexInit();
    server.Collect();
    Bytes out = server.Input();
    ASSERT_FALSE(out.empty());

    PlainPacket init = ReadPlain(out, 0);
    EXPECT_GE(out.size(), 4 + init.packetLength);  // the exchange's next message may follow
    EXPECT_EQ((init.packetLength + 4) % 8, 0u);
    EXPECT_GE(init.padding, 4);
    EXPECT_LT(init.padding, 4 + 8);
    ASSERT_EQ(init.payload[0], kMsgKexInit);
    std::optional<KexInitMessage> parsed = ParseKexInit(init.payload);
    ASSERT_TRUE(parsed);
    // The original offer leads each list unchanged; modern names may follow it.
    const char* expected[kListCount] = {
        "diffie-hellman-group-exchange-sha256,diffie-hellman-group-exchange-sha1,"
        "diffie-hellman-group14-sha1,diffie-hellman-group1-sha1,",
        "ssh-rsa,ssh-dss",
        "aes256-ctr,aes256-cbc,rijndael-cbc@lysator.liu.se,aes192-ctr,aes192-cbc,aes128-ctr,"
        "aes128-cbc,blowfish-ctr,blowfish-cbc,3des-ctr,3des-cbc,arcfour256,arcfour128",
        nullptr,
        "hmac-sha1,hmac-sha1-96,hmac-md5,",
        nullptr,
        "none,zlib",
        nullptr,
        "",
        ""};
    for (int i = 0; i < kListCount; ++i) {
        const std::string want = expected[i] ? expected[i] : expected[i - 1];
        EXPECT_EQ(parsed->lists[i].substr(0, want.size()), want) << "list " << i;
    }
    EXPECT_TRUE(parsed->lists[kListKex].ends_with(",kex-strict-c-v00@openssh.com"));
    EXPECT_FALSE(parsed->firstKexPacketFollows);
    // Message number, 16-byte cookie, ten strings, the boolean and the reserved word.
    size_t size = 1 + 16 + 1 + 4;
    for (auto list : parsed->lists)
        size += 4 + list.size();
    EXPECT_EQ(init.payload.size(), size);
    EXPECT_EQ(crypto::LoadBe32(init.payload.data() + size - 4), 0u);
}

// A server that waits for our key-exchange-init gets it after a second, without the modes that
// need strict key exchange; one that sends its own at once gets ours at once.
TEST(TransportStart, KexInitWaitsAtMostASecondForTheServers) {
    Client client;
    ScriptedServer server(*client);
    server.SendVersion();
    ASSERT_FALSE(server.ReadVersion().empty());
    EXPECT_EQ(client->MillisecondsToTimer(), 1000);
    client.now += 999;
    client->CheckTimer();
    EXPECT_FALSE(server.NextPacket());
    client.now += 1;
    EXPECT_EQ(client->MillisecondsToTimer(), 0);
    client->CheckTimer();
    ASSERT_TRUE(server.ReadKexInit());
    auto parsed = ParseKexInit(server.ClientKexInit());
    EXPECT_FALSE(NameListContains(parsed->lists[kListCipherClientToServer],
                                  "chacha20-poly1305@openssh.com"));
    EXPECT_FALSE(
        NameListContains(parsed->lists[kListMacClientToServer], "hmac-sha2-256-etm@openssh.com"));
    EXPECT_TRUE(NameListContains(parsed->lists[kListMacClientToServer], "hmac-sha2-256"));
    // The exchange then runs as usual, with the timer back to the re-key schedule.
    server.SendKexInit();
    ASSERT_TRUE(server.RunDh());
    ASSERT_TRUE(server.ReadNewKeys());
    server.SendNewKeys();
    EXPECT_EQ(client->GetPhase(), Transport::Phase::kOpen);
    EXPECT_EQ(client->MillisecondsToTimer(), 60 * 60000);
}

TEST(TransportStart, CompressionSettingPutsZlibFirst) {
    TransportSettings settings;
    settings.kex.compression = true;
    Client client(settings);
    ScriptedServer server(*client);
    server.SendVersion();
    server.ReadVersion();
    server.SendKexInit();
    ASSERT_TRUE(server.ReadKexInit());
    auto parsed = ParseKexInit(server.ClientKexInit());
    EXPECT_EQ(parsed->lists[kListCompressionClientToServer], "zlib,none");
    EXPECT_EQ(parsed->lists[kListCompressionServerToClient], "zlib,none");
}

// Protocol outcomes of the identification exchange.
TEST(TransportStart, ProtocolChoiceFailuresEndTheConnectionWithoutALine) {
    struct Case {
        int preference;
        const char* line;
        DWORD error;
    };
    const Case cases[] = {
        {kPreferProtocol2Only, "SSH-1.5-1.2.27\n", kErrProtocolNotSupported},
        {kPreferProtocol1Only, "SSH-2.0-OpenSSH_9.2\r\n", kErrProtocolNotSupported},
    };
    for (const Case& c : cases) {
        TransportSettings settings;
        settings.protocolPreference = c.preference;
        Client client(settings);
        client->Feed(reinterpret_cast<const uint8_t*>(c.line), std::strlen(c.line));
        EXPECT_TRUE(client->IsClosed()) << c.line;
        EXPECT_EQ(client.failure.error, c.error) << c.line;
        EXPECT_TRUE(client->PendingOutput().empty()) << c.line;
    }
}

// A server below 1.99 gets the protocol-1 line and packet layer; nothing of protocol 2 is sent.
TEST(TransportStart, ProtocolOneServerGetsTheProtocolOneLine) {
    Client client;
    const std::string line = "SSH-1.5-1.2.22\n";
    client->Feed(reinterpret_cast<const uint8_t*>(line.data()), line.size());
    EXPECT_FALSE(client->IsClosed());
    EXPECT_EQ(client->Protocol(), 1);
    EXPECT_NE(client->Ssh1(), nullptr);
    EXPECT_EQ(client->Quirks() & kQuirkSsh1ChokesOnIgnore, kQuirkSsh1ChokesOnIgnore);
    auto pending = client->PendingOutput();
    EXPECT_EQ(std::string(pending.begin(), pending.end()), "SSH-1.5-Carrack_7.0\n");
}

TEST(TransportStart, ServerClosingBeforeItsLineFailsAsClosed) {
    Client client;
    std::string partial = "SSH-2.0-Open";
    client->Feed(reinterpret_cast<const uint8_t*>(partial.data()), partial.size());
    EXPECT_FALSE(client->IsClosed());
    client->PeerClosed(0);
    EXPECT_TRUE(client->IsClosed());
    EXPECT_EQ(client.failure.error, kErrConnectionClosed);
    EXPECT_EQ(client.closedCount, 1);
}

// Every key exchange and host-key kind with a few ciphers, fed one byte at a time.
TEST(TransportKex, EveryKexAndHostKeyReachesTheOpenState) {
    const char* kexes[] = {"diffie-hellman-group-exchange-sha256",
                           "diffie-hellman-group-exchange-sha1", "diffie-hellman-group14-sha1",
                           "diffie-hellman-group1-sha1"};
    const char* ciphers[] = {"aes128-ctr", "3des-cbc", "blowfish-ctr", "arcfour128"};
    int round = 0;
    for (const char* kex : kexes) {
        for (const char* hostKey : {"ssh-rsa", "ssh-dss"}) {
            ServerConfig config;
            config.lists[kListKex] = kex;
            config.lists[kListHostKey] = hostKey;
            const char* cipher = ciphers[round++ % 4];
            config.lists[kListCipherClientToServer] = cipher;
            config.lists[kListCipherServerToClient] = cipher;
            Client client;
            ScriptedServer server(*client, config);
            server.SetFeedChunk(round % 2 ? 1 : 0);
            ASSERT_TRUE(server.Handshake()) << kex << " " << hostKey << " " << client.failure.text;
            EXPECT_EQ(client.keysReady, 1);
            EXPECT_EQ(client->SessionId(), server.SessionId());
            EXPECT_EQ(client->Algorithms().kex->name, kex);
            EXPECT_EQ(client->Algorithms().hostKey->name, hostKey);
            EXPECT_EQ(client->Fingerprint().rfind(std::string(hostKey) + " 1024 ", 0), 0u)
                << client->Fingerprint();
            // Both directions work under the new keys.
            server.Send(Payload(kMsgServiceAccept, "ssh-userauth"));
            ASSERT_EQ(client.packets.size(), 1u);
            EXPECT_EQ(client.packets[0], Payload(kMsgServiceAccept, "ssh-userauth"));
            OutgoingPacket request(kMsgServiceRequest);
            request.AddString(std::string_view("ssh-userauth"));
            client->SendPacket(std::move(request));
            std::vector<Bytes> seen = server.AllPackets();
            ASSERT_FALSE(seen.empty());
            EXPECT_EQ(seen.back(), Payload(kMsgServiceRequest, "ssh-userauth"));
        }
    }
}

// Key bits follow the stronger cipher, capped by the hash; the group request follows them.
TEST(TransportKex, KeyBitsAndRequestedGroupSize) {
    struct Case {
        const char* kex;
        const char* cipher;
        size_t keyBits;
        uint32_t group;
    };
    const Case cases[] = {
        {"diffie-hellman-group1-sha1", "3des-cbc", 160, 0},
        {"diffie-hellman-group-exchange-sha256", "aes256-ctr", 256, 4096},
        {"diffie-hellman-group-exchange-sha1", "aes128-ctr", 128, 1024},
        {"diffie-hellman-group-exchange-sha1", "aes256-ctr", 160, 2048},
        {"diffie-hellman-group-exchange-sha256", "aes192-cbc", 192, 2048},
        {"diffie-hellman-group-exchange-sha256", "arcfour128", 128, 1024},
    };
    for (const Case& c : cases) {
        ServerConfig config;
        config.lists[kListKex] = c.kex;
        config.lists[kListCipherClientToServer] = c.cipher;
        config.lists[kListCipherServerToClient] = c.cipher;
        Client client;
        ScriptedServer server(*client, config);
        ASSERT_TRUE(server.Handshake()) << c.kex << " " << c.cipher << client.failure.text;
        EXPECT_EQ(client->Kex().KeyBits(), c.keyBits) << c.kex << " " << c.cipher;
        std::array<uint32_t, 3> request = server.GroupRequest();
        if (c.group == 0) {
            EXPECT_EQ(request[0], 0u);
        } else {
            // The RFC 4419 request: minimum, preferred, maximum.
            EXPECT_EQ(request[0], 1024u);
            EXPECT_EQ(request[1], c.group) << c.kex << " " << c.cipher;
            EXPECT_EQ(request[2], 8192u);
        }
        // The private exponent has twice the key bits: e = g^x is all the server sees, so
        // check that a fixed-group e is not g^x for a short x by its size alone.
        EXPECT_GT(server.ClientE().BitCount(), 1000u);
    }
}

// Our preference decides, whatever the server's order; a missing kind fails the exchange.
TEST(TransportKex, NegotiationFollowsOurOrderAndFailsCleanly) {
    struct Case {
        int list;
        const char* server;
        const char* chosen;  // nullptr: the exchange must fail
    };
    const Case cases[] = {
        {kListKex, "diffie-hellman-group1-sha1,diffie-hellman-group14-sha1",
         "diffie-hellman-group14-sha1"},
        {kListHostKey, "ssh-dss,ssh-rsa", "ssh-rsa"},
        {kListCipherClientToServer, "3des-cbc,aes128-cbc,blowfish-cbc", "aes128-cbc"},
        {kListMacServerToClient, "hmac-md5,hmac-sha1-96", "hmac-sha1-96"},
        {kListCompressionClientToServer, "zlib", "zlib"},
        {kListCompressionServerToClient, "zlib,none", "none"},
        {kListMacClientToServer, "umac-64@openssh.com,hmac-sha2-256", "hmac-sha2-256"},
        {kListKex, "sntrup761x25519-sha512@openssh.com", nullptr},
        {kListHostKey, "ssh-ed448,sk-ssh-ed25519@openssh.com", nullptr},
        {kListCipherServerToClient, "twofish256-ctr", nullptr},
        {kListMacClientToServer, "umac-64@openssh.com", nullptr},
        {kListCompressionServerToClient, "zlib@openssh.com", nullptr},
    };
    // The failure names the family and quotes the server's list for it (both directions where
    // they differ).
    const std::map<int, std::string> failure = {
        {kListKex,
         "No common key exchange algorithm (the server offers: "
         "sntrup761x25519-sha512@openssh.com)"},
        {kListHostKey,
         "No common host key algorithm (the server offers: ssh-ed448,sk-ssh-ed25519@openssh.com)"},
        {kListCipherServerToClient,
         "No common cipher (the server offers: aes128-ctr; server to client: twofish256-ctr)"},
        {kListMacClientToServer,
         "No common MAC algorithm (the server offers: umac-64@openssh.com; "
         "server to client: hmac-sha1)"},
        {kListCompressionServerToClient,
         "No common compression method (the server offers: none; "
         "server to client: zlib@openssh.com)"},
    };
    for (const Case& c : cases) {
        ServerConfig config;
        config.lists[c.list] = c.server;
        Client client;
        ScriptedServer server(*client, config);
        server.SendVersion();
        server.ReadVersion();
        server.SendKexInit();
        ASSERT_TRUE(server.ReadKexInit());
        if (c.chosen) {
            ASSERT_FALSE(client->IsClosed()) << c.server;
            ASSERT_TRUE(server.RunDh()) << c.server;
            ASSERT_TRUE(server.ReadNewKeys()) << c.server;
            server.SendNewKeys();
            ASSERT_EQ(client->GetPhase(), Transport::Phase::kOpen) << c.server;
            EXPECT_EQ(server.Chosen(c.list), c.chosen);
            server.Send(Payload(kMsgServiceAccept));
            EXPECT_EQ(client.packets.size(), 1u) << c.server;
        } else {
            // No hang: a disconnect with "key exchange failed" goes out and the end is reported.
            EXPECT_TRUE(client->IsClosed()) << c.server;
            EXPECT_EQ(client.failure.error, kErrKeyExchangeFailed);
            EXPECT_EQ(client.failure.reason, kDisconnectKeyExchangeFailed);
            EXPECT_EQ(client.failure.text, failure.at(c.list));
            std::optional<Bytes> disconnect = server.NextPacket();
            ASSERT_TRUE(disconnect) << c.server;
            IncomingPacket reader(*disconnect, 0);
            uint32_t reason = 0;
            reader.ReadUint32(reason);
            EXPECT_EQ(disconnect->at(0), kMsgDisconnect);
            EXPECT_EQ(reason, kDisconnectKeyExchangeFailed);
        }
    }
}

// A server guess that turns out wrong makes the client skip the guessed packet.
TEST(TransportKex, WrongGuessSkipsTheNextKexPacket) {
    for (bool right : {false, true}) {
        ServerConfig config;
        config.firstKexPacketFollows = true;
        // Right: the server's first names equal ours; wrong: they differ.
        config.lists[kListKex] =
            right ? "diffie-hellman-group-exchange-sha256" : "diffie-hellman-group14-sha1";
        Client client;
        ScriptedServer server(*client, config);
        server.SendVersion();
        server.ReadVersion();
        server.SendKexInit();
        ASSERT_TRUE(server.ReadKexInit());
        if (!right) {
            // The guessed packet: something the client would otherwise take as the reply.
            server.Send({kMsgKexDhReply, 0, 0, 0, 0});
            EXPECT_FALSE(client->IsClosed());
            ASSERT_TRUE(server.RunDh());
        } else {
            ASSERT_TRUE(server.RunDh());
        }
        ASSERT_TRUE(server.ReadNewKeys()) << right << client.failure.text;
        server.SendNewKeys();
        EXPECT_EQ(client->GetPhase(), Transport::Phase::kOpen) << right;
    }
}

// Each broken exchange sends the fitting disconnect and fails at once with a clear error.
TEST(TransportKex, BrokenExchangesDisconnectWithTheFittingReason) {
    crypto::BigNum p14 = crypto::BigNum::FromBytes(crypto::kKexGroup14Sha1.prime);
    struct Case {
        const char* name;
        const char* kex;
        Tamper tamper;
        uint32_t reason;
        DWORD error;
    };
    std::vector<Case> cases;
    Tamper t;
    t.badSignature = true;
    cases.push_back({"bad signature", "diffie-hellman-group14-sha1", t,
                     kDisconnectHostKeyNotVerifiable, kErrHostKeyNotVerified});
    t = {};
    t.badHostKeyBlob = true;
    cases.push_back({"bad host key blob", "diffie-hellman-group1-sha1", t,
                     kDisconnectHostKeyNotVerifiable, kErrHostKeyNotVerified});
    t = {};
    t.f = crypto::BigNum(1);  // in range, but then the signed hash cannot match
    cases.push_back({"f = 1", "diffie-hellman-group14-sha1", t, kDisconnectHostKeyNotVerifiable,
                     kErrHostKeyNotVerified});
    t = {};
    t.f = p14;
    cases.push_back({"f = p", "diffie-hellman-group14-sha1", t, kDisconnectKeyExchangeFailed,
                     kErrKeyExchangeFailed});
    t = {};
    t.group = {crypto::BigNum(23), crypto::BigNum(5)};
    cases.push_back({"tiny group", "diffie-hellman-group-exchange-sha1", t,
                     kDisconnectKeyExchangeFailed, kErrKeyExchangeFailed});
    t = {};
    t.group = {p14, crypto::BigNum(1)};
    cases.push_back({"generator 1", "diffie-hellman-group-exchange-sha256", t,
                     kDisconnectKeyExchangeFailed, kErrKeyExchangeFailed});
    t = {};
    t.group = {crypto::BigNum::Mul(p14, crypto::BigNum(3)), crypto::BigNum(2)};
    cases.push_back({"composite prime", "diffie-hellman-group-exchange-sha256", t,
                     kDisconnectKeyExchangeFailed, kErrKeyExchangeFailed});
    t = {};
    t.weakRsaKey = true;
    cases.push_back({"512-bit RSA host key", "diffie-hellman-group14-sha1", t,
                     kDisconnectHostKeyNotVerifiable, kErrHostKeyNotVerified});
    t = {};
    t.groupWithoutGenerator = true;
    cases.push_back({"group without g", "diffie-hellman-group-exchange-sha256", t,
                     kDisconnectProtocolError, kErrProtocol});
    for (Case& c : cases) {
        ServerConfig config;
        config.lists[kListKex] = c.kex;
        Client client;
        ScriptedServer server(*client, config);
        server.SendVersion();
        server.ReadVersion();
        server.SendKexInit();
        ASSERT_TRUE(server.ReadKexInit());
        server.RunDh(c.tamper);
        ASSERT_TRUE(client->IsClosed()) << c.name;
        EXPECT_EQ(client.closedCount, 1) << c.name;
        EXPECT_EQ(client.failure.reason, c.reason) << c.name;
        EXPECT_EQ(client.failure.error, c.error) << c.name;
        if (c.tamper.weakRsaKey) {
            EXPECT_EQ(client.failure.text,
                      "RSA host key of 512 bits refused (at least 1024 are needed)");
        }
        std::vector<Bytes> packets = server.AllPackets();
        ASSERT_FALSE(packets.empty()) << c.name;
        EXPECT_EQ(packets.back()[0], kMsgDisconnect) << c.name;
        EXPECT_EQ(crypto::LoadBe32(packets.back().data() + 1), client.failure.reason) << c.name;
    }
}

TEST(TransportKex, WrongMessageOrUnimplementedDuringTheExchangeEndsIt) {
    struct Case {
        Bytes message;
        uint32_t reason;
    };
    const Case cases[] = {
        {{kMsgServiceAccept}, kDisconnectProtocolError},
        {{kMsgNewKeys}, kDisconnectProtocolError},
        {{kMsgUnimplemented, 0, 0, 0, 2}, kDisconnectKeyExchangeFailed},
    };
    for (const Case& c : cases) {
        Client client;
        ScriptedServer server(*client);
        server.SendVersion();
        server.ReadVersion();
        server.SendKexInit();
        ASSERT_TRUE(server.ReadKexInit());
        server.Send(c.message);
        EXPECT_TRUE(client->IsClosed());
        EXPECT_EQ(client.failure.reason, c.reason);
        EXPECT_EQ(client.failure.error, ErrorForReason(c.reason));
    }
}

// --- after the keys: framing rules, transport messages, failures ---

// Opens a connection with the given cipher (and MAC) through the scripted server.
bool OpenWith(Client& client, ScriptedServer& server) {
    (void)client;
    return server.Handshake();
}

ServerConfig WithCipher(const char* cipher, const char* mac = "hmac-sha1") {
    ServerConfig config;
    config.lists[kListCipherClientToServer] = cipher;
    config.lists[kListCipherServerToClient] = cipher;
    config.lists[kListMacClientToServer] = mac;
    config.lists[kListMacServerToClient] = mac;
    return config;
}

TEST(TransportPackets, CbcSendsAnIgnoreFirstInTheSameWriteAndCounterModeDoesNot) {
    for (const char* cipher : {"aes128-cbc", "aes128-ctr", "3des-cbc", "arcfour256"}) {
        Client client;
        ScriptedServer server(*client, WithCipher(cipher));
        ASSERT_TRUE(OpenWith(client, server)) << cipher;
        server.Collect();
        ASSERT_TRUE(server.Input().empty());
        OutgoingPacket data(kMsgServiceRequest);
        data.AddString(std::string_view("ssh-userauth"));
        client->SendPacket(std::move(data));
        // Everything is pending as one block of output, which the link writes in one call.
        std::vector<Bytes> packets = server.AllPackets();
        bool cbc = crypto::FindCipher(cipher)->cbc;
        ASSERT_EQ(packets.size(), cbc ? 2u : 1u) << cipher;
        if (cbc) {
            EXPECT_EQ(packets[0], (Bytes{kMsgIgnore, 0, 0, 0, 0})) << cipher;
        }
        EXPECT_EQ(packets.back(), Payload(kMsgServiceRequest, "ssh-userauth")) << cipher;
        // A deferred batch: one ignore in front of all of it.
        client->DeferPacket(OutgoingPacket(kMsgIgnore));
        client->DeferPacket(OutgoingPacket(kMsgDebug));
        EXPECT_GT(client->DeferredLength(), 0u);
        server.Collect();
        EXPECT_TRUE(server.Input().empty()) << "a deferred batch waits for SendDeferred";
        client->SendDeferred();
        packets = server.AllPackets();
        ASSERT_EQ(packets.size(), cbc ? 3u : 2u) << cipher;
        EXPECT_EQ(packets.back(), Bytes{kMsgDebug});
    }
}

TEST(TransportPackets, UnknownMessagesGetUnimplementedWithTheirSequenceNumber) {
    Client client;
    ScriptedServer server(*client);
    ASSERT_TRUE(OpenWith(client, server));
    // Server packets so far: KEXINIT 0, KEXDH_REPLY 1, NEWKEYS 2; the next is number 3.
    server.Send({kMsgIgnore});
    server.Send({7, 1, 2, 3});    // a message number nobody handles
    server.Send({kMsgDebug, 1});  // read and dropped
    std::vector<Bytes> packets = server.AllPackets();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0], (Bytes{kMsgUnimplemented, 0, 0, 0, 4}));
    EXPECT_TRUE(client.packets.empty());
    // After the first exchange, SSH_MSG_UNIMPLEMENTED about something else is for the layers
    // above.
    server.Send({kMsgUnimplemented, 0, 0, 0, 9});
    ASSERT_EQ(client.packets.size(), 1u);
    EXPECT_FALSE(client->IsClosed());
}

TEST(TransportPackets, HandlersClaimMessagesAheadOfTheStepRoutine) {
    Client client;
    ScriptedServer server(*client);
    ASSERT_TRUE(OpenWith(client, server));
    int banners = 0;
    client->SetHandler(kMsgUserauthBanner, [&](const IncomingPacket& p) {
        IncomingPacket reader = p;
        std::string_view text;
        EXPECT_TRUE(reader.ReadString(text));
        EXPECT_EQ(text, "hello");
        ++banners;
    });
    server.Send(Payload(kMsgUserauthBanner, "hello"));
    EXPECT_EQ(banners, 1);
    EXPECT_TRUE(client.packets.empty());
    client->ResetHandler(kMsgUserauthBanner);
    server.Send(Payload(kMsgUserauthBanner, "hello"));
    EXPECT_EQ(banners, 1);
    EXPECT_EQ(client.packets.size(), 1u);
}

TEST(TransportPackets, PeerDisconnectEndsTheConnectionAtOnce) {
    Client client;
    ScriptedServer server(*client);
    ASSERT_TRUE(OpenWith(client, server));
    Bytes message = {kMsgDisconnect, 0, 0, 0, 11};
    crypto::AppendString(message, std::string_view("bye now"));
    crypto::AppendString(message, std::string_view("en"));
    server.Send(message);
    EXPECT_TRUE(client->IsClosed());
    EXPECT_EQ(client.failure.error, kErrConnectionClosed);
    EXPECT_EQ(client.failure.reason, 11u);
    EXPECT_EQ(client.failure.text, "bye now");
    EXPECT_TRUE(client.failure.byPeer);
    // Nothing more goes out or comes in.
    client->SendPacket(OutgoingPacket(kMsgIgnore));
    server.Collect();
    EXPECT_TRUE(server.Input().empty());
    server.Send({kMsgServiceAccept});
    EXPECT_TRUE(client.packets.empty());
}

// A corrupted or impossible packet after the keys: disconnect with the fitting reason.
TEST(TransportPackets, CorruptionAfterTheKeysFailsAtOnce) {
    struct Case {
        const char* name;
        size_t flipAt;  // offset in the framed packet (from its end when beyond the size)
        uint32_t reason;
        DWORD error;
    };
    const Case cases[] = {
        {"payload byte", 8, kDisconnectMacError, kErrMessageAuthentication},
        {"MAC byte", 1000, kDisconnectMacError, kErrMessageAuthentication},
        {"length byte", 0, kDisconnectProtocolError, kErrProtocol},
    };
    for (const Case& c : cases) {
        Client client;
        ScriptedServer server(*client);
        ASSERT_TRUE(OpenWith(client, server));
        Bytes framed = server.Frame(Payload(kMsgServiceAccept, "ssh-userauth"));
        size_t at = c.flipAt < framed.size() ? c.flipAt : framed.size() - 1;
        framed[at] ^= 0x80;
        server.FeedClient(framed);
        ASSERT_TRUE(client->IsClosed()) << c.name;
        EXPECT_EQ(client.failure.reason, c.reason) << c.name;
        EXPECT_EQ(client.failure.error, c.error) << c.name;
        EXPECT_TRUE(client.packets.empty());
        std::vector<Bytes> packets = server.AllPackets();
        ASSERT_EQ(packets.size(), 1u) << c.name;
        EXPECT_EQ(packets[0][0], kMsgDisconnect);
    }
}

TEST(TransportPackets, JunkBeforeTheKeysIsSkipped) {
    Client client;
    ScriptedServer server(*client);
    server.SendVersion();
    server.ReadVersion();
    // A first block whose length is impossible is dropped; the real packet that follows counts.
    server.FeedClient({0xFF, 0xFF, 0xFF, 0xFF, 0x03, 0, 0, 0});
    EXPECT_FALSE(client->IsClosed());
    server.SendKexInit();
    ASSERT_TRUE(server.ReadKexInit());
    ASSERT_TRUE(server.RunDh());
    ASSERT_TRUE(server.ReadNewKeys());
    server.SendNewKeys();
    EXPECT_EQ(client->GetPhase(), Transport::Phase::kOpen);
}

TEST(TransportPackets, CompressedStreamsBothWaysAndABrokenOneFails) {
    ServerConfig config;
    for (int list : {kListCompressionClientToServer, kListCompressionServerToClient}) {
        config.lists[list] = "zlib";
    }
    Client client;
    ScriptedServer server(*client, config);
    ASSERT_TRUE(OpenWith(client, server));
    EXPECT_EQ(client->Algorithms().compression[0]->name, "zlib");
    std::string text(3000, 'x');
    for (int i = 0; i < 5; ++i) {
        server.Send(Payload(kMsgServiceAccept, text));
        OutgoingPacket request(kMsgServiceRequest);
        request.AddString(text);
        client->SendPacket(std::move(request));
    }
    ASSERT_EQ(client.packets.size(), 5u);
    EXPECT_EQ(client.packets[4], Payload(kMsgServiceAccept, text));
    std::vector<Bytes> seen = server.AllPackets();
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[4], Payload(kMsgServiceRequest, text));
    // The outgoing stream did compress.
    EXPECT_LT(client->OutgoingBytes(), 5u * 3000);

    // A server that agreed "zlib" but sends plain payloads: the first one fails to inflate.
    config.compressOutgoing = false;
    Client broken;
    ScriptedServer liar(*broken, config);
    liar.Handshake();
    liar.Send(Payload(kMsgServiceAccept, "ssh-userauth"));
    ASSERT_TRUE(broken->IsClosed());
    EXPECT_EQ(broken.failure.reason, kDisconnectCompressionError);
    EXPECT_EQ(broken.failure.error, kErrProtocol);
    EXPECT_TRUE(broken.packets.empty());
}

// --- re-keying ---

TEST(TransportRekey, ServerStartedRekeyKeepsTheSessionIdAndReplacesTheFingerprint) {
    for (const char* kex : {"diffie-hellman-group14-sha1", "diffie-hellman-group-exchange-sha1"}) {
        ServerConfig config = WithCipher("aes256-cbc", "hmac-md5");
        config.lists[kListKex] = kex;
        Client client;
        ScriptedServer server(*client, config);
        ASSERT_TRUE(OpenWith(client, server));
        const Bytes sessionId = client->SessionId();
        const std::string fingerprint = client->Fingerprint();
        // Upper-layer packets sent while the exchange runs wait, and leave in order after it.
        server.SendKexInit();
        ASSERT_TRUE(client->KeyExchangeRunning());
        for (int i = 0; i < 3; ++i) {
            OutgoingPacket p(kMsgServiceRequest);
            p.AddString(std::string(1, static_cast<char>('a' + i)));
            client->SendPacket(std::move(p));
        }
        ASSERT_TRUE(server.ReadKexInit());
        Tamper other;
        other.otherHostKey = true;
        ASSERT_TRUE(server.RunDh(other)) << kex;
        ASSERT_TRUE(server.ReadNewKeys()) << kex;
        std::vector<Bytes> held = server.AllPackets();
        ASSERT_EQ(held.size(), 3u + 3u) << "an ignore before each, under CBC";
        EXPECT_EQ(held[1], Payload(kMsgServiceRequest, "a"));
        EXPECT_EQ(held[5], Payload(kMsgServiceRequest, "c"));
        server.SendNewKeys();
        EXPECT_EQ(client->CompletedKeyExchanges(), 2);
        EXPECT_EQ(client.keysReady, 1);
        EXPECT_EQ(client->SessionId(), sessionId);
        EXPECT_EQ(server.SessionId(), sessionId);
        EXPECT_NE(server.ExchangeHash(), sessionId);
        EXPECT_NE(client->Fingerprint(), fingerprint);
        server.Send(Payload(kMsgServiceAccept, "after"));
        ASSERT_EQ(client.packets.size(), 1u);
    }
}

TEST(TransportRekey, DataLimitStartsARekeyFromTheClient) {
    EXPECT_EQ(ParseDataLimit("500k"), 512000u);
    TransportSettings settings;
    settings.rekeyDataLimit = "2k";
    Client client(settings);
    ScriptedServer server(*client);
    ASSERT_TRUE(OpenWith(client, server));
    EXPECT_EQ(client->DataLimit(), 2048u);
    // Incoming data past the limit.
    server.Send(Payload(kMsgIgnore, std::string(2100, 'i')));
    EXPECT_TRUE(client->KeyExchangeRunning());
    EXPECT_EQ(client->LastRekeyReason(), "data overflow");
    ASSERT_TRUE(server.AnswerRekey());
    EXPECT_EQ(client->CompletedKeyExchanges(), 2);
    EXPECT_EQ(client->IncomingBytes(), 0u);
    // Outgoing data past the limit, in small packets.
    for (int i = 0; i < 40 && !client->KeyExchangeRunning(); ++i) {
        OutgoingPacket p(kMsgIgnore);
        p.AddString(std::string(100, 'o'));
        client->SendPacket(std::move(p));
    }
    EXPECT_TRUE(client->KeyExchangeRunning());
    ASSERT_TRUE(server.AnswerRekey());
    EXPECT_EQ(client->CompletedKeyExchanges(), 3);
}

// During a re-key, SSH_MSG_UNIMPLEMENTED about one of our key-exchange messages ends the
// exchange; about anything else it is for the layers above.
TEST(TransportRekey, UnimplementedAboutOurKexInitEndsTheExchange) {
    for (bool aboutKexInit : {false, true}) {
        Client client;
        ScriptedServer server(*client);
        ASSERT_TRUE(OpenWith(client, server));
        client->RequestRekey("user");
        ASSERT_TRUE(server.ReadKexInit());
        uint32_t sequence = aboutKexInit ? server.LastSequence() : server.LastSequence() - 1;
        Bytes unimplemented = {kMsgUnimplemented};
        crypto::AppendUint32(unimplemented, sequence);
        server.Send(unimplemented);
        EXPECT_EQ(client->IsClosed(), aboutKexInit);
        if (aboutKexInit) {
            EXPECT_EQ(client.failure.reason, kDisconnectKeyExchangeFailed);
            EXPECT_EQ(client.failure.error, kErrKeyExchangeFailed);
        } else {
            EXPECT_EQ(client.packets.size(), 1u);
        }
    }
}

// The length-concealing send of a password: the password packet and an ignore packet in one
// batch, the ignore's payload stored uncompressed with the overhead the compressor announced.
TEST(TransportPackets, ConcealedBatchUnderCompression) {
    ServerConfig config;
    config.lists[kListCompressionClientToServer] = "zlib";
    Client client;
    ScriptedServer server(*client, config);
    ASSERT_TRUE(OpenWith(client, server));
    OutgoingPacket password(kMsgUserauthRequest);
    password.AddString(std::string_view("secret-password"));
    password.MarkSecret();
    client->DeferPacket(std::move(password));
    size_t before = client->DeferredLength();
    EXPECT_GT(before, 0u);
    size_t overhead = client->DisableCompressionForNextPacket();
    EXPECT_GT(overhead, 4u);
    std::string filler(200, 'F');
    OutgoingPacket ignore(kMsgIgnore);
    ignore.AddString(filler);
    client->DeferPacket(std::move(ignore));
    // The ignore's payload (1 + 4 + 200 bytes) went out stored: framing + payload + overhead.
    size_t framed = client->DeferredLength() - before;
    size_t block = client->OutgoingBlockSize();
    size_t body = 5 + 205 + overhead;
    EXPECT_GE(framed, body + 4 + 20);
    EXPECT_LT(framed, body + block + 4 + 20);
    server.Collect();
    EXPECT_TRUE(server.Input().empty());
    client->SendDeferred();
    std::vector<Bytes> packets = server.AllPackets();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0], Payload(kMsgUserauthRequest, "secret-password"));
    EXPECT_EQ(packets[1], Payload(kMsgIgnore, filler));
}

TEST(TransportRekey, TimeLimitStartsARekeyAndSchedulesTheNext) {
    TransportSettings settings;
    settings.rekeyMinutes = 2;
    Client client(settings);
    ScriptedServer server(*client);
    ASSERT_TRUE(OpenWith(client, server));
    EXPECT_EQ(client->MillisecondsToTimer(), 120000);
    client.now += 119999;
    client->CheckTimer();
    EXPECT_FALSE(client->KeyExchangeRunning());
    client.now += 1;
    EXPECT_EQ(client->MillisecondsToTimer(), 0);
    client->CheckTimer();
    EXPECT_TRUE(client->KeyExchangeRunning());
    EXPECT_EQ(client->LastRekeyReason(), "operation timeout");
    ASSERT_TRUE(server.AnswerRekey());
    EXPECT_EQ(client->MillisecondsToTimer(), 120000);
    EXPECT_EQ(client->SessionId(), server.SessionId());
}

TEST(TransportRekey, NoRekeyQuirkResetsCountersButStillAnswersTheServer) {
    TransportSettings settings;
    settings.rekeyDataLimit = "1k";
    settings.quirks.noRekey = QuirkSetting::kAlwaysOn;
    Client client(settings);
    ScriptedServer server(*client);
    ASSERT_TRUE(OpenWith(client, server));
    EXPECT_TRUE(client->Quirks() & kQuirkNoRekey);
    server.Send(Payload(kMsgIgnore, std::string(1500, 'i')));
    EXPECT_FALSE(client->KeyExchangeRunning());
    EXPECT_EQ(client->IncomingBytes(), 0u);
    client->RequestRekey("user");
    EXPECT_FALSE(client->KeyExchangeRunning());
    ASSERT_TRUE(server.Rekey());
    EXPECT_EQ(client->CompletedKeyExchanges(), 2);
}

TEST(TransportRekey, RequestDuringAnExchangeRunsAnotherRightAfter) {
    Client client;
    ScriptedServer server(*client);
    ASSERT_TRUE(OpenWith(client, server));
    server.SendKexInit();
    client->RequestRekey("user");  // an exchange is under way: this one waits for it
    ASSERT_TRUE(server.ReadKexInit());
    ASSERT_TRUE(server.RunDh());
    ASSERT_TRUE(server.ReadNewKeys());
    server.SendNewKeys();
    EXPECT_EQ(client->CompletedKeyExchanges(), 2);
    EXPECT_TRUE(client->KeyExchangeRunning());
    ASSERT_TRUE(server.AnswerRekey());
    EXPECT_EQ(client->CompletedKeyExchanges(), 3);
}

// --- quirks that change the keys ---

TEST(TransportQuirks, OldServerKeyDerivationAndShortMacKeys) {
    struct Case {
        const char* version;
        bool omitSecret;
        bool macKeys16;
        QuirkSetting hmacSetting;
    };
    const Case cases[] = {
        {"SSH-2.0-2.0.10 F-Secure", true, false, QuirkSetting::kNever},
        {"SSH-2.0-2.0.13 (F-Secure)", false, true, QuirkSetting::kDecide},
        {"SSH-2.0-2.0.9", false, true, QuirkSetting::kDecide},
        {"SSH-2.0-2.0.0 VShell", false, false, QuirkSetting::kDecide},
        {"SSH-2.0-2.0.0 SSH Secure Shell", true, true, QuirkSetting::kDecide},
        {"SSH-2.0-OpenSSH_9.2", false, true, QuirkSetting::kAlwaysOn},
    };
    for (const Case& c : cases) {
        TransportSettings settings;
        settings.quirks.hmacKeys16 = c.hmacSetting;
        Client client(settings);
        ServerConfig config;
        config.versionLine = c.version;
        config.omitSecret = c.omitSecret;
        config.macKeys16 = c.macKeys16;
        ScriptedServer server(*client, config);
        ASSERT_TRUE(server.Handshake()) << c.version << " " << client.failure.text;
        server.Send(Payload(kMsgServiceAccept));
        EXPECT_EQ(client.packets.size(), 1u) << c.version;
        client->SendPacket(OutgoingPacket(kMsgServiceRequest));
        EXPECT_EQ(server.AllPackets().size(), 1u) << c.version;
    }
}

}  // namespace
}  // namespace tessan::transport::test
