// A connection machine talking to the scripted in-process server: the transport handshake is
// done, then each test scripts the server's side of authentication and the session.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "crypto/random_pool.h"
#include "crypto/wire.h"
#include "scripted_server.h"
#include "sshlib/connection/connection_constants.h"
#include "sshlib/connection/ssh_connection.h"

namespace tessan::connection::test {

using transport::test::Bytes;
using transport::test::ScriptedServer;
using transport::test::ServerConfig;

// Builds a payload field by field.
class Payload {
public:
    explicit Payload(uint8_t type) { bytes_.push_back(type); }
    Payload& U32(uint32_t v) {
        crypto::AppendUint32(bytes_, v);
        return *this;
    }
    Payload& Str(std::string_view s) {
        crypto::AppendString(bytes_, s);
        return *this;
    }
    Payload& Bool(bool b) {
        bytes_.push_back(b ? 1 : 0);
        return *this;
    }
    const Bytes& Get() const { return bytes_; }
    operator const Bytes&() const { return bytes_; }

private:
    Bytes bytes_;
};

// Reads a client payload field by field; a missing field fails the test.
class Fields {
public:
    explicit Fields(Bytes payload) : bytes_(std::move(payload)), packet_(bytes_, 0) {}
    Fields(const Fields&) = delete;
    uint8_t Type() const { return packet_.Type(); }
    uint32_t U32() {
        uint32_t v = 0;
        EXPECT_TRUE(packet_.ReadUint32(v));
        return v;
    }
    std::string Str() {
        std::string_view s;
        EXPECT_TRUE(packet_.ReadString(s));
        return std::string(s);
    }
    bool Bool() {
        bool b = false;
        EXPECT_TRUE(packet_.ReadBool(b));
        return b;
    }
    size_t Remaining() const { return packet_.Remaining(); }

private:
    Bytes bytes_;
    transport::IncomingPacket packet_;
};

struct Rig {
    explicit Rig(SessionSettings settings = Defaults(), ServerConfig config = {}) {
        SessionHooks hooks;
        hooks.data = [this](std::span<const uint8_t> d) { data.append(d.begin(), d.end()); };
        hooks.backlog = [this] { return backlog; };
        hooks.closed = [this](const transport::TransportFailure& f) {
            ++closedCount;
            failure = f;
        };
        connection = std::make_unique<SshConnection>(
            transport::TransportSettings{}, std::move(settings), std::move(hooks),
            [] { return uint64_t{1000}; },
            [](uint8_t* out, size_t n) { crypto::RandomBytes(out, n); });
        server = std::make_unique<ScriptedServer>(connection->Transport(), config);
        handshake = server->Handshake();
    }
    static SessionSettings Defaults() {
        SessionSettings s;
        s.user = "alice";
        s.password = "wonderland";
        return s;
    }

    // The next packet of the client other than ignore messages (empty when there is none).
    Bytes Next() { return server->NextProtocolPacket().value_or(Bytes{}); }
    void Send(const Bytes& payload) { server->Send(payload); }
    // Every packet the client has sent since, ignore messages left out.
    std::vector<Bytes> Sent() {
        std::vector<Bytes> packets;
        for (Bytes& p : server->AllPackets())
            if (p.at(0) != transport::kMsgIgnore) packets.push_back(std::move(p));
        return packets;
    }

    // Service accepted, "none" refused with `methods`; returns the client's next packet.
    Bytes ToPasswordRequest(const char* methods = "publickey,password") {
        Next();  // service request
        Send(Payload(transport::kMsgServiceAccept).Str("ssh-userauth"));
        Next();  // "none"
        Send(Payload(kMsgUserauthFailure).Str(methods).Bool(false));
        return Next();
    }
    // Logged in (the password accepted); returns the client's next packet (the channel open).
    Bytes ToChannelOpen() {
        ToPasswordRequest();
        Send(Payload(kMsgUserauthSuccess));
        return Next();
    }
    // The session channel confirmed with window and packet size; returns the next packet.
    Bytes Confirm(uint32_t window = 1 << 20, uint32_t maxPacket = 32768) {
        Fields open(ToChannelOpen());
        open.Str();
        localId = open.U32();
        Send(Payload(kMsgChannelOpenConfirmation)
                 .U32(localId)
                 .U32(kRemoteId)
                 .U32(window)
                 .U32(maxPacket));
        return Next();
    }
    // Up to the running session: pty and shell accepted.
    void Running(uint32_t window = 1 << 20, uint32_t maxPacket = 32768) {
        Confirm(window, maxPacket);  // pty-req
        Send(Payload(kMsgChannelSuccess).U32(localId));
        Next();  // shell
        Send(Payload(kMsgChannelSuccess).U32(localId));
        ASSERT_TRUE(connection->Established());
    }

    static constexpr uint32_t kRemoteId = 77;
    std::unique_ptr<SshConnection> connection;
    std::unique_ptr<ScriptedServer> server;
    bool handshake = false;
    std::string data;
    size_t backlog = 0;
    int closedCount = 0;
    transport::TransportFailure failure;
    uint32_t localId = 0;
};

}  // namespace tessan::connection::test
