// The session channel against the scripted server: its start (open, pseudo-terminal, shell or
// command), flow control both ways, the server's channel and global requests and opens, exit
// codes, control codes, the clean end and the protocol errors that end a connection.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "connection_rig.h"
#include "sshlib/connection/channel_messages.h"
#include "sshlib/connection/channel_table.h"
#include "sshlib/transport/ssh_constants.h"

namespace tessan::connection::test {
namespace {

constexpr uint32_t kRemote = Rig::kRemoteId;

TEST(SessionStart, PseudoTerminalWithElevenBytesOfModesThenTheShell) {
    SessionSettings settings = Rig::Defaults();
    settings.terminalType = "vt100";
    settings.columns = 132;
    settings.rows = 43;
    Rig rig(settings);
    Fields pty(rig.Confirm());
    EXPECT_EQ(pty.Type(), kMsgChannelRequest);
    EXPECT_EQ(pty.U32(), kRemote);
    EXPECT_EQ(pty.Str(), "pty-req");
    EXPECT_TRUE(pty.Bool());
    EXPECT_EQ(pty.Str(), "vt100");
    EXPECT_EQ(pty.U32(), 132u);
    EXPECT_EQ(pty.U32(), 43u);
    EXPECT_EQ(pty.U32(), 0u);
    EXPECT_EQ(pty.U32(), 0u);
    const std::string modes = pty.Str();
    EXPECT_EQ(modes, std::string("\x80\x00\x00\x96\x00\x81\x00\x00\x96\x00\x00", 11));
    EXPECT_EQ(pty.Remaining(), 0u);
    // A refused terminal: the shell is started all the same.
    rig.Send(Payload(kMsgChannelFailure).U32(rig.localId));
    Fields shell(rig.Next());
    EXPECT_EQ(shell.U32(), kRemote);
    EXPECT_EQ(shell.Str(), "shell");
    EXPECT_TRUE(shell.Bool());
    EXPECT_EQ(shell.Remaining(), 0u);
    EXPECT_FALSE(rig.connection->Established());
    rig.Send(Payload(kMsgChannelSuccess).U32(rig.localId));
    EXPECT_TRUE(rig.connection->Established());
    EXPECT_FALSE(rig.connection->HasTerminal());
}

TEST(SessionStart, CommandsNoTerminalAndNoShell) {
    SessionSettings command = Rig::Defaults();
    command.command = "uname -a";
    Rig rig(command);
    Fields exec(rig.Confirm());
    EXPECT_EQ(exec.U32(), kRemote);
    EXPECT_EQ(exec.Str(), "exec");
    EXPECT_TRUE(exec.Bool());
    EXPECT_EQ(exec.Str(), "uname -a");

    SessionSettings noPty = Rig::Defaults();
    noPty.noPty = true;
    Rig plain(noPty);
    Fields shell(plain.Confirm());
    shell.U32();
    EXPECT_EQ(shell.Str(), "shell");

    SessionSettings noShell = Rig::Defaults();
    noShell.noShell = true;
    Rig bare(noShell);
    bare.ToPasswordRequest();
    bare.Send(Payload(kMsgUserauthSuccess));
    EXPECT_TRUE(bare.connection->Established());
    EXPECT_FALSE(bare.connection->HasSession());
    EXPECT_TRUE(bare.Sent().empty()) << "no channel is opened";
    EXPECT_FALSE(bare.connection->Write(std::span<const uint8_t>()));
}

TEST(SessionStart, RefusalsAndStrayRepliesEndTheConnectionAtOnce) {
    struct Row {
        const char* name;
        int stage;  // 0: instead of the open confirmation, 1: of the pty reply, 2: shell reply
        Bytes reply;
        uint32_t reason;
        const char* text;
    };
    const Row rows[] = {
        {"open refused", 0,
         Payload(kMsgChannelOpenFailure).U32(256).U32(1).Str("prohibited").Str(""), 11,
         "The server refused the session channel"},
        {"confirmation of another id", 0,
         Payload(kMsgChannelOpenConfirmation).U32(999).U32(1).U32(100).U32(100), 2,
         "Unexpected packet type 91"},
        {"reply to another channel", 1, Payload(kMsgChannelSuccess).U32(999), 2,
         "Unexpected packet type 99"},
        {"shell refused", 2, Payload(kMsgChannelFailure).U32(256), 11,
         "The server refused the shell"},
        {"request success out of place", 2, Payload(kMsgRequestSuccess), 2,
         "Unexpected packet type 81"},
    };
    for (const Row& row : rows) {
        Rig rig;
        if (row.stage == 0) {
            rig.ToChannelOpen();
        } else {
            rig.Confirm();
            if (row.stage == 2) {
                rig.Send(Payload(kMsgChannelSuccess).U32(rig.localId));
                rig.Next();
            }
        }
        rig.Send(row.reply);
        Fields disconnect(rig.Next());
        EXPECT_EQ(disconnect.Type(), transport::kMsgDisconnect) << row.name;
        EXPECT_EQ(disconnect.U32(), row.reason) << row.name;
        EXPECT_EQ(disconnect.Str(), row.text) << row.name;
        EXPECT_EQ(rig.failure.error, kErrProtocol) << row.name;
        EXPECT_FALSE(rig.connection->Alive());
    }
}

// Data to the server: within its window and packet size, the rest queued until it adjusts.
TEST(SessionData, OutgoingFollowsTheServersWindowAndPacketSize) {
    Rig rig;
    rig.Running(/*window=*/0, /*maxPacket=*/1000);
    std::string data(2500, 'x');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>('a' + i % 26);
    ASSERT_TRUE(rig.connection->Write(
        std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size())));
    EXPECT_TRUE(rig.server->AllPackets().empty()) << "window 0: all queued";
    EXPECT_EQ(rig.connection->QueuedOutgoing(), 2500u);
    rig.Send(Payload(kMsgChannelWindowAdjust).U32(rig.localId).U32(1500));
    std::string sent;
    std::vector<size_t> sizes;
    for (const Bytes& p : rig.server->AllPackets()) {
        Fields f(p);
        ASSERT_EQ(f.Type(), kMsgChannelData);
        EXPECT_EQ(f.U32(), kRemote);
        std::string piece = f.Str();
        sizes.push_back(piece.size());
        sent += piece;
    }
    EXPECT_EQ(sizes, (std::vector<size_t>{1000, 500}));
    EXPECT_EQ(rig.connection->QueuedOutgoing(), 1000u);
    // Adjustments for unknown channels change nothing.
    rig.Send(Payload(kMsgChannelWindowAdjust).U32(999).U32(100000));
    EXPECT_TRUE(rig.server->AllPackets().empty());
    // A window beyond 4 GiB stops at 2^32 - 1.
    rig.Send(Payload(kMsgChannelWindowAdjust).U32(rig.localId).U32(0xFFFFFFFF));
    rig.Send(Payload(kMsgChannelWindowAdjust).U32(rig.localId).U32(0xFFFFFFFF));
    for (const Bytes& p : rig.server->AllPackets()) {
        Fields f(p);
        f.U32();
        sent += f.Str();
    }
    EXPECT_EQ(sent, data);
    EXPECT_EQ(rig.connection->QueuedOutgoing(), 0u);
    ASSERT_TRUE(rig.connection->Write(std::span(reinterpret_cast<const uint8_t*>("z"), 1)));
    EXPECT_EQ(rig.server->AllPackets().size(), 1u) << "the window stayed open";
}

// Data from the server: delivered in arrival order (stderr mixed in), other extended types and
// unknown channels dropped; the window offered back follows what the caller has taken.
TEST(SessionData, IncomingDataAndTheWindowOfferedBack) {
    Rig rig;
    rig.Running();
    rig.Send(Payload(kMsgChannelData).U32(rig.localId).Str("out1 "));
    rig.Send(Payload(kMsgChannelExtendedData).U32(rig.localId).U32(1).Str("err "));
    rig.Send(Payload(kMsgChannelExtendedData).U32(rig.localId).U32(2).Str("other "));
    rig.Send(Payload(kMsgChannelData).U32(999).Str("lost "));
    rig.Send(Payload(kMsgChannelData).U32(rig.localId).Str(""));
    rig.Send(Payload(kMsgChannelData).U32(rig.localId).Str("out2"));
    EXPECT_EQ(rig.data, "out1 err out2");
    EXPECT_TRUE(rig.server->AllPackets().empty()) << "less than half the window used";

    // The window is larger than one packet: data go in packets of at most the maximum size.
    auto sendData = [&rig](size_t count, char fill) {
        for (size_t sent = 0; sent < count; sent += kSessionMaxPacket) {
            const size_t n = std::min<size_t>(kSessionMaxPacket, count - sent);
            rig.Send(Payload(kMsgChannelData).U32(rig.localId).Str(std::string(n, fill)));
        }
    };
    // More than half the window used while the caller keeps up: topped up to the full window.
    sendData(kSessionWindow / 4, 'd');
    EXPECT_TRUE(rig.server->AllPackets().empty());
    sendData(kSessionWindow / 4, 'd');
    std::vector<Bytes> replies = rig.server->AllPackets();
    ASSERT_EQ(replies.size(), 1u);
    Fields adjust(replies[0]);
    EXPECT_EQ(adjust.Type(), kMsgChannelWindowAdjust);
    EXPECT_EQ(adjust.U32(), kRemote);
    EXPECT_EQ(adjust.U32(), kSessionWindow / 2 + 13);

    // A caller that does not read holds the window shut ...
    rig.backlog = kSessionWindow;
    sendData(kSessionWindow, 'e');
    EXPECT_TRUE(rig.server->AllPackets().empty());
    // ... and a server overshooting the window by less than one maximum packet is not cut off
    // (hostile_server_test.cpp: beyond that it is), but the window stays at 0 instead of
    // wrapping round (it would then never be offered again).
    rig.Send(Payload(kMsgChannelData).U32(rig.localId).Str(std::string(1000, 'f')));
    EXPECT_TRUE(rig.server->AllPackets().empty());
    EXPECT_EQ(rig.data.size(), 13u + kSessionWindow / 2 + kSessionWindow + 1000);
    // Once the caller has read, the whole window is offered again.
    rig.backlog = 0;
    rig.connection->DataTaken();
    replies = rig.server->AllPackets();
    ASSERT_EQ(replies.size(), 1u);
    Fields reopen(replies[0]);
    reopen.U32();
    EXPECT_EQ(reopen.U32(), kSessionWindow);
    EXPECT_TRUE(rig.connection->Alive());
}

TEST(SessionRequests, ExitStatusAndBothExitSignalLayouts) {
    struct Row {
        const char* name;
        Bytes request;  // on the session channel (id filled below)
        int64_t exitCode;
    };
    auto standard = [](const char* name) {
        return Payload(kMsgChannelRequest)
            .U32(256)
            .Str("exit-signal")
            .Bool(false)
            .Str(name)
            .Bool(false)
            .Str("")
            .Str("");
    };
    auto numeric = [](uint32_t number) {
        return Payload(kMsgChannelRequest)
            .U32(256)
            .Str("exit-signal")
            .Bool(false)
            .U32(number)
            .Bool(true)
            .Str("core")
            .Str("en");
    };
    const Row rows[] = {
        {"status 0", Payload(kMsgChannelRequest).U32(256).Str("exit-status").Bool(false).U32(0), 0},
        {"status 42", Payload(kMsgChannelRequest).U32(256).Str("exit-status").Bool(false).U32(42),
         42},
        {"KILL", standard("KILL"), 128},
        {"SEGV", standard("SEGV"), 139},
        {"TERM", standard("TERM"), 143},
        {"ABRT", standard("ABRT"), 150},
        {"INT", standard("INT"), 130},
        {"empty name", standard(""), 128},
        {"numeric 9", numeric(9), 137},
        {"numeric 15", numeric(15), 143},
        // No signal has a number 128 + n cannot hold: such a number is not taken as one, rather
        // than wrapping round to an exit code that looks like a normal exit.
        {"numeric 0xFFFFFF7F", numeric(0xFFFFFF7F), 0xFFFFFFFF},
        {"numeric 0xFFFFFF80", numeric(0xFFFFFF80), 128},
        {"numeric 0xFFFFFFFF", numeric(0xFFFFFFFF), 128},
        // Fits neither layout: 128.
        {"truncated", Payload(kMsgChannelRequest).U32(256).Str("exit-signal").Bool(false).U32(9),
         128},
    };
    for (const Row& row : rows) {
        Rig rig;
        rig.Running();
        ASSERT_EQ(rig.localId, 256u);
        rig.Send(row.request);
        EXPECT_EQ(rig.connection->ExitCode(), row.exitCode) << row.name;
        EXPECT_TRUE(rig.server->AllPackets().empty()) << "no reply was wanted";
    }
}

TEST(SessionRequests, RepliesToRequestsAndOpensOfTheServer) {
    Rig rig;
    rig.Running();
    struct Row {
        const char* name;
        Bytes message;
        Bytes reply;  // empty: none
    };
    const Row rows[] = {
        {"exit-status wanting a reply",
         Payload(kMsgChannelRequest).U32(rig.localId).Str("exit-status").Bool(true).U32(1),
         Payload(kMsgChannelSuccess).U32(kRemote)},
        {"unknown request",
         Payload(kMsgChannelRequest).U32(rig.localId).Str("keepalive@x").Bool(true),
         Payload(kMsgChannelFailure).U32(kRemote)},
        {"unknown request, no reply",
         Payload(kMsgChannelRequest).U32(rig.localId).Str("x").Bool(false),
         {}},
        {"global request", Payload(kMsgGlobalRequest).Str("keepalive@openssh.com").Bool(true),
         Payload(kMsgRequestFailure)},
        {"global request, no reply", Payload(kMsgGlobalRequest).Str("hostkeys-00").Bool(false), {}},
        {"server opens a session", Payload(kMsgChannelOpen).Str("session").U32(5).U32(100).U32(100),
         Payload(kMsgChannelOpenFailure).U32(5).U32(2).Str("Channel type not supported").Str("en")},
        {"server opens x11",
         Payload(kMsgChannelOpen).Str("x11").U32(6).U32(100).U32(100).Str("1.2.3.4").U32(6000),
         Payload(kMsgChannelOpenFailure)
             .U32(6)
             .U32(2)
             .Str("X11 forwarding is not enabled")
             .Str("en")},
        {"server opens forwarded-tcpip",
         Payload(kMsgChannelOpen)
             .Str("forwarded-tcpip")
             .U32(7)
             .U32(100)
             .U32(100)
             .Str("a")
             .U32(22)
             .Str("b")
             .U32(1000),
         Payload(kMsgChannelOpenFailure)
             .U32(7)
             .U32(2)
             .Str("Remote port is not recognised")
             .Str("en")},
        {"type names compare whole", Payload(kMsgChannelOpen).Str("x11x").U32(8).U32(1).U32(1),
         Payload(kMsgChannelOpenFailure).U32(8).U32(2).Str("Channel type not supported").Str("en")},
        {"stray open confirmation",
         Payload(kMsgChannelOpenConfirmation).U32(1).U32(2).U32(3).U32(4),
         {}},
        {"end of data", Payload(kMsgChannelEof).U32(rig.localId), {}},
    };
    for (const Row& row : rows) {
        rig.Send(row.message);
        std::vector<Bytes> replies = rig.server->AllPackets();
        if (row.reply.empty()) {
            EXPECT_TRUE(replies.empty()) << row.name;
        } else {
            ASSERT_EQ(replies.size(), 1u) << row.name;
            EXPECT_EQ(replies[0], row.reply) << row.name;
        }
        ASSERT_TRUE(rig.connection->Alive()) << row.name;
    }
}

TEST(SessionEnd, ProtocolErrorsWhileTheSessionRuns) {
    struct Row {
        const char* name;
        Bytes message;
        const char* text;
    };
    const Row rows[] = {
        // Nothing claims these once the session runs: a protocol error, not a stuck session.
        {"stray channel success", Payload(kMsgChannelSuccess).U32(256),
         "Unexpected packet type 99"},
        {"stray authentication success", Payload(kMsgUserauthSuccess), "Unexpected packet type 52"},
        {"request for a channel that does not exist",
         Payload(kMsgChannelRequest).U32(4711).Str("exit-status").Bool(false).U32(0),
         "Received channel request for nonexistent channel 4711"},
        {"data that does not parse", Payload(kMsgChannelData).U32(256).U32(100),
         "Malformed packet of type 94"},
        {"window adjust cut short", Payload(kMsgChannelWindowAdjust).U32(256),
         "Malformed packet of type 93"},
        {"exit status without a code",
         Payload(kMsgChannelRequest).U32(256).Str("exit-status").Bool(false),
         "Malformed packet of type 98"},
    };
    for (const Row& row : rows) {
        Rig rig;
        rig.Running();
        rig.Send(row.message);
        Fields disconnect(rig.Next());
        EXPECT_EQ(disconnect.Type(), transport::kMsgDisconnect) << row.name;
        EXPECT_EQ(disconnect.U32(), 2u) << row.name;
        EXPECT_EQ(disconnect.Str(), row.text) << row.name;
        EXPECT_EQ(rig.failure.error, kErrProtocol);
        EXPECT_FALSE(rig.connection->Alive());
    }
}

TEST(SessionEnd, TheServerClosingTheLastChannelEndsTheConnectionCleanly) {
    for (bool withStatus : {false, true}) {
        Rig rig;
        rig.Running();
        if (withStatus) {
            rig.Send(
                Payload(kMsgChannelRequest).U32(rig.localId).Str("exit-status").Bool(false).U32(0));
        }
        rig.Send(Payload(kMsgChannelEof).U32(rig.localId));
        rig.Send(Payload(kMsgChannelClose).U32(rig.localId));
        std::vector<Bytes> packets = rig.server->AllPackets();
        ASSERT_EQ(packets.size(), 1u) << "our close, and no disconnect message";
        EXPECT_EQ(packets[0], Bytes(Payload(kMsgChannelClose).U32(kRemote)));
        EXPECT_FALSE(rig.connection->Alive());
        EXPECT_TRUE(rig.failure.clean);
        EXPECT_EQ(rig.failure.error, 0u);
        EXPECT_EQ(rig.connection->EndReason(), "All channels closed");
        EXPECT_EQ(rig.connection->ExitCode(), 0);
    }
    // A close for an unknown channel changes nothing.
    Rig rig;
    rig.Running();
    rig.Send(Payload(kMsgChannelClose).U32(999));
    EXPECT_TRUE(rig.connection->Alive());
}

TEST(SessionControl, CodesOneToEighteen) {
    struct Row {
        uint32_t code;
        Bytes expected;  // empty: nothing is sent
    };
    auto signal = [](const char* name) {
        return Payload(kMsgChannelRequest).U32(kRemote).Str("signal").Bool(false).Str(name).Get();
    };
    const Row rows[] = {
        {1, Payload(kMsgChannelRequest).U32(kRemote).Str("break").Bool(false).U32(0)},
        {2, Payload(transport::kMsgIgnore).Str("")},
        {3, Payload(kMsgChannelEof).U32(kRemote)},
        {4, Payload(transport::kMsgIgnore).Str("")},
        {6, signal("ABRT")},
        {7, signal("ALRM")},
        {8, signal("FPE")},
        {9, signal("HUP")},
        {10, signal("ILL")},
        {11, signal("INT")},
        {12, signal("KILL")},
        {13, signal("PIPE")},
        {14, signal("QUIT")},
        {15, signal("SEGV")},
        {16, signal("TERM")},
        {17, signal("USR1")},
        {18, signal("USR2")},
        {0, {}},
        {19, {}},
    };
    Rig rig;
    rig.Running();
    for (const Row& row : rows) {
        rig.connection->Control(row.code);
        std::vector<Bytes> sent = rig.server->AllPackets();  // ignore messages included
        if (row.expected.empty()) {
            EXPECT_TRUE(sent.empty()) << row.code;
        } else {
            ASSERT_EQ(sent.size(), 1u) << row.code;
            EXPECT_EQ(sent[0], row.expected) << row.code;
        }
    }
    // Code 5 starts a key exchange.
    rig.connection->Control(kControlRekey);
    EXPECT_TRUE(rig.connection->Transport().KeyExchangeRunning());
    ASSERT_TRUE(rig.server->AnswerRekey());
    EXPECT_TRUE(rig.connection->Alive());
}

TEST(SessionControl, EndOfInputBeforeTheShellRunsIsSentRightAfterIt) {
    Rig rig;
    rig.Confirm();
    rig.connection->Control(kControlEndOfInput);
    rig.Send(Payload(kMsgChannelSuccess).U32(rig.localId));
    Fields shell(rig.Next());
    EXPECT_EQ(shell.U32(), kRemote);
    EXPECT_EQ(shell.Str(), "shell");
    EXPECT_TRUE(rig.server->AllPackets().empty()) << "held back until the shell runs";
    rig.Send(Payload(kMsgChannelSuccess).U32(rig.localId));
    std::vector<Bytes> sent = rig.server->AllPackets();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], Bytes(Payload(kMsgChannelEof).U32(kRemote)));
}

TEST(ChannelTable, NextIdIsTheFirstGap) {
    ChannelTable table;
    EXPECT_EQ(table.NextLocalId(), 256u);
    for (uint32_t id : {256u, 257u, 259u}) {
        auto c = std::make_unique<Channel>();
        c->localId = id;
        table.Insert(std::move(c));
    }
    EXPECT_EQ(table.NextLocalId(), 258u);
    // Against a set of ids as the model, through random inserts and removals.
    std::mt19937 rng(5);
    std::set<uint32_t> model = {256, 257, 259};
    for (int step = 0; step < 2000; ++step) {
        uint32_t expected = 256;
        while (model.count(expected))
            ++expected;
        ASSERT_EQ(table.NextLocalId(), expected) << step;
        if (rng() % 3 && model.size() < 64) {
            auto c = std::make_unique<Channel>();
            c->localId = expected;
            table.Insert(std::move(c));
            model.insert(expected);
        } else if (!model.empty()) {
            auto it = model.begin();
            std::advance(it, rng() % model.size());
            table.Remove(*it);
            ASSERT_EQ(table.Find(*it), nullptr);
            model.erase(it);
        }
        ASSERT_EQ(table.Size(), model.size());
    }
}

TEST(ByteQueue, MatchesAStringThroughRandomAppendsAndConsumes) {
    std::mt19937 rng(9);
    ByteQueue queue;
    std::string model;
    uint8_t next = 0;
    for (int step = 0; step < 1500; ++step) {
        if (rng() % 2) {
            std::vector<uint8_t> data(rng() % 40000);
            for (uint8_t& b : data)
                b = next++;
            queue.Append(data);
            model.append(data.begin(), data.end());
        } else {
            std::span<const uint8_t> front = queue.Front();
            ASSERT_LE(front.size(), ByteQueue::kBlockSize);
            ASSERT_EQ(std::string(front.begin(), front.end()), model.substr(0, front.size()));
            size_t n = front.empty() ? 0 : rng() % (front.size() + 1);
            queue.Consume(n);
            model.erase(0, n);
        }
        ASSERT_EQ(queue.Size(), model.size());
        ASSERT_EQ(queue.Empty(), model.empty());
    }
}

}  // namespace
}  // namespace tessan::connection::test
