// User authentication against the scripted server: the request layouts, one password attempt,
// the failures that end the connection at once, change requests, banners, and the length of
// the password burst, which must not depend on the password.
#include <gtest/gtest.h>

#include <set>

#include "connection_rig.h"
#include "sshlib/connection/auth_messages.h"
#include "sshlib/connection/concealed_send.h"
#include "sshlib/transport/ssh_constants.h"

namespace tessan::connection::test {
namespace {

TEST(UserAuth, ServiceNoneThenOnePasswordRequest) {
    Rig rig;
    ASSERT_TRUE(rig.handshake);
    Fields service(rig.Next());
    EXPECT_EQ(service.Type(), transport::kMsgServiceRequest);
    EXPECT_EQ(service.Str(), "ssh-userauth");
    rig.Send(Payload(transport::kMsgServiceAccept).Str("ssh-userauth"));
    Fields none(rig.Next());
    EXPECT_EQ(none.Type(), kMsgUserauthRequest);
    EXPECT_EQ(none.Str(), "alice");
    EXPECT_EQ(none.Str(), "ssh-connection");
    EXPECT_EQ(none.Str(), "none");
    EXPECT_EQ(none.Remaining(), 0u);
    // keyboard-interactive is listed too but never tried.
    rig.Send(Payload(kMsgUserauthFailure).Str("keyboard-interactive,password").Bool(false));
    Fields password(rig.Next());
    EXPECT_EQ(password.Type(), kMsgUserauthRequest);
    EXPECT_EQ(password.Str(), "alice");
    EXPECT_EQ(password.Str(), "ssh-connection");
    EXPECT_EQ(password.Str(), "password");
    EXPECT_FALSE(password.Bool());
    EXPECT_EQ(password.Str(), "wonderland");
    EXPECT_EQ(password.Remaining(), 0u);
    EXPECT_EQ(rig.connection->Auth()->PasswordAttempts(), 1);
    rig.Send(Payload(kMsgUserauthSuccess));
    Fields open(rig.Next());
    EXPECT_EQ(open.Type(), kMsgChannelOpen);
    EXPECT_EQ(open.Str(), "session");
    EXPECT_EQ(open.U32(), kFirstLocalId);
    EXPECT_EQ(open.U32(), kSessionWindow);
    EXPECT_EQ(open.U32(), kSessionMaxPacket);
}

TEST(UserAuth, FailuresEndTheConnectionAtOnceWithTheirReason) {
    struct Row {
        const char* name;
        const char* methodsAfterNone;
        bool refusePassword;  // a second failure, after the password
        uint8_t unexpected;   // a message out of place instead of the reply to "none"
        uint32_t reason;
        const char* text;
        DWORD error;
    };
    const Row rows[] = {
        {"wrong password", "password", true, 0, 13, "User authentication failed", 12230},
        {"no password method", "publickey,keyboard-interactive", false, 0, 14,
         "No supported authentication methods", 12230},
        {"a partial name is no match", "passwords,xpassword", false, 0, 14,
         "No supported authentication methods", 12230},
        {"channel data during authentication", nullptr, false, kMsgChannelSuccess, 2,
         "Unexpected packet type 99 during authentication", 12205},
    };
    for (const Row& row : rows) {
        Rig rig;
        rig.Next();
        rig.Send(Payload(transport::kMsgServiceAccept).Str("ssh-userauth"));
        rig.Next();
        if (row.unexpected) {
            rig.Send(Payload(row.unexpected).U32(0));
        } else {
            rig.Send(Payload(kMsgUserauthFailure).Str(row.methodsAfterNone).Bool(false));
        }
        if (row.refusePassword) {
            EXPECT_EQ(Fields(rig.Next()).Type(), kMsgUserauthRequest);
            rig.Send(Payload(kMsgUserauthFailure).Str("password").Bool(false));
        }
        Fields disconnect(rig.Next());
        EXPECT_EQ(disconnect.Type(), transport::kMsgDisconnect) << row.name;
        EXPECT_EQ(disconnect.U32(), row.reason) << row.name;
        EXPECT_EQ(disconnect.Str(), row.text) << row.name;
        EXPECT_EQ(rig.closedCount, 1);
        EXPECT_EQ(rig.failure.error, row.error) << row.name;
        EXPECT_FALSE(rig.connection->Alive());
        EXPECT_TRUE(rig.server->AllPackets().empty()) << "nothing after the disconnect";
    }
}

TEST(UserAuth, NoneAcceptedSendsNoPassword) {
    Rig rig;
    rig.Next();
    rig.Send(Payload(transport::kMsgServiceAccept).Str("ssh-userauth"));
    rig.Next();
    rig.Send(Payload(kMsgUserauthSuccess));
    EXPECT_EQ(Fields(rig.Next()).Type(), kMsgChannelOpen);
    EXPECT_EQ(rig.connection->GetPhase(), SshConnection::Phase::kOpeningSession);
}

TEST(UserAuth, ConnectionServiceWithoutAuthentication) {
    Rig rig;
    rig.Next();
    // Anything but the acceptance of "ssh-userauth": the connection service is asked for.
    rig.Send(Payload(transport::kMsgUnimplemented).U32(3));
    Fields second(rig.Next());
    EXPECT_EQ(second.Type(), transport::kMsgServiceRequest);
    EXPECT_EQ(second.Str(), "ssh-connection");
    rig.Send(Payload(transport::kMsgServiceAccept).Str("ssh-connection"));
    EXPECT_EQ(Fields(rig.Next()).Type(), kMsgChannelOpen);
}

TEST(UserAuth, ChangeRequestsAreAnsweredWithTheSamePasswordAndAnEmptyNewOne) {
    Rig rig;
    rig.ToPasswordRequest();
    for (int round = 0; round < 2; ++round) {
        rig.Send(Payload(kMsgUserauthPasswdChangeReq).Str("Password expired").Str("en"));
        Fields change(rig.Next());
        EXPECT_EQ(change.Type(), kMsgUserauthRequest);
        EXPECT_EQ(change.Str(), "alice");
        EXPECT_EQ(change.Str(), "ssh-connection");
        EXPECT_EQ(change.Str(), "password");
        EXPECT_TRUE(change.Bool());
        EXPECT_EQ(change.Str(), "wonderland");
        EXPECT_EQ(change.Str(), "");
        EXPECT_EQ(change.Remaining(), 0u);
    }
    rig.Send(Payload(kMsgUserauthSuccess));
    EXPECT_EQ(Fields(rig.Next()).Type(), kMsgChannelOpen);
}

TEST(UserAuth, LongUserNamesAreCutAndBannersAreDropped) {
    SessionSettings settings = Rig::Defaults();
    settings.user = std::string(120, 'n');
    Rig rig(settings);
    rig.Next();
    rig.Send(Payload(transport::kMsgServiceAccept).Str("ssh-userauth"));
    Fields none(rig.Next());
    EXPECT_EQ(none.Str(), std::string(99, 'n'));
    for (int i = 0; i < 6; ++i)
        rig.Send(Payload(kMsgUserauthBanner).Str(std::string(30000, 'b')).Str(""));
    EXPECT_LE(rig.connection->Auth()->BannerBytes(), kBannerQueueLimit + 30000);
    EXPECT_GT(rig.connection->Auth()->BannerBytes(), 0u);
    rig.Send(Payload(kMsgUserauthFailure).Str("password").Bool(false));
    EXPECT_EQ(rig.connection->Auth()->BannerBytes(), 0u);
    EXPECT_TRUE(rig.connection->Alive());
    // A banner that does not parse is a protocol error.
    rig.Send(Payload(kMsgUserauthBanner).U32(1000));
    EXPECT_FALSE(rig.connection->Alive());
    EXPECT_EQ(rig.failure.reason, 2u);
}

TEST(ConcealedSend, LengthOfTheIgnoreString) {
    struct Row {
        size_t deferred, block, overhead, expected;
    };
    const Row rows[] = {
        {100, 16, 0, 160},                   // 256 - 100 + 15 = 171, less 171 mod 16
        {100, 8, 0, 160},                    // 163 less 3
        {96, 16, 0, 160},  {256, 16, 0, 0},  // 15 rounds down to 0
        {272, 16, 0, 0},   {1000, 8, 0, 0}, {64, 8, 5, 187},  // 192 less the compression framing
        {250, 8, 10, 0},   {100, 0, 0, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ConcealmentLength(row.deferred, row.block, row.overhead), row.expected)
            << row.deferred << " " << row.block << " " << row.overhead;
    }
}

// What an observer of the encrypted stream sees of the password request: one burst whose size
// does not depend on the password's length.
TEST(ConcealedSend, TheBurstLengthDoesNotDependOnThePassword) {
    struct Cipher {
        const char* cipher;
        const char* compression;
    };
    for (const Cipher& c : {Cipher{"aes128-ctr", "none"}, Cipher{"3des-cbc", "none"},
                            Cipher{"aes256-cbc", "zlib"}, Cipher{"aes128-ctr", "zlib"}}) {
        std::set<size_t> bursts;
        for (size_t length = 1; length <= 63; length += 3) {
            SessionSettings settings = Rig::Defaults();
            settings.password = std::string(length, 'p');
            ServerConfig config;
            config.lists[transport::kListCipherClientToServer] = c.cipher;
            config.lists[transport::kListCipherServerToClient] = c.cipher;
            config.lists[transport::kListCompressionClientToServer] = c.compression;
            config.lists[transport::kListCompressionServerToClient] = c.compression;
            Rig rig(settings, config);
            ASSERT_TRUE(rig.handshake);
            rig.Next();
            rig.Send(Payload(transport::kMsgServiceAccept).Str("ssh-userauth"));
            rig.Next();
            rig.server->Collect();
            rig.server->Input().clear();
            rig.Send(Payload(kMsgUserauthFailure).Str("password").Bool(false));
            const size_t burst = rig.connection->Transport().PendingOutput().size();
            bursts.insert(burst);
            Fields request(rig.Next());
            EXPECT_EQ(request.Type(), kMsgUserauthRequest);
        }
        EXPECT_EQ(bursts.size(), 1u) << c.cipher << " " << c.compression;
        EXPECT_GE(*bursts.begin(), 256u);
    }
}

TEST(AuthMessages, ParsersRefuseTruncatedFields) {
    const Bytes failure = Payload(kMsgUserauthFailure).Str("publickey,password").Bool(true);
    for (size_t cut = 1; cut < failure.size(); ++cut) {
        Bytes truncated(failure.begin(), failure.begin() + static_cast<ptrdiff_t>(cut));
        EXPECT_FALSE(ParseUserauthFailure(transport::IncomingPacket(truncated, 0))) << cut;
    }
    auto parsed = ParseUserauthFailure(transport::IncomingPacket(failure, 0));
    ASSERT_TRUE(parsed);
    EXPECT_TRUE(parsed->publicKey);
    EXPECT_TRUE(parsed->password);
    EXPECT_FALSE(parsed->keyboardInteractive);
    EXPECT_TRUE(parsed->partialSuccess);
    const Bytes banner = Payload(kMsgUserauthBanner).Str("hello");
    EXPECT_EQ(ParseUserauthBanner(transport::IncomingPacket(banner, 0)).value_or(""), "hello");
    EXPECT_FALSE(ParsePasswordChangeRequest(transport::IncomingPacket(banner, 0)));
}

}  // namespace
}  // namespace tessan::connection::test
