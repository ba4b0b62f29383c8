// Session files: the exact file the Windows functions would write, every key read back, files
// written by hand or by other programs, and saves that fail.
#include "terminal/persist/session_file.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "../../platform/file_permissions.h"
#include "temp_folder.h"

namespace ostrel {
namespace {

using testing::TempFolder;

// A TCP client session saved with polling, logging, a comment and an HTTP request: the file as
// the Windows profile functions lay it out when the keys are written in their order.
constexpr std::string_view kRoomFile =
    "[Connection Settings]\r\n"
    "RemoteControl=\r\n"
    "Type=2\r\n"
    "In Use=1\r\n"
    "Name=Room 101\r\n"
    "FileSpec=C:\\Sessions\\room101.ini\r\n"
    "Comment1=Projector$20in$20room$20101\r\n"
    "Comment2=$20$20second=line;\"x\"\r\n"
    "CommentCount=3\r\n"
    "URL=projector.local\r\n"
    "HTTPRequest1=GET$20/$20HTTP/1.0\r\n"
    "HTTPRequest2=Host:$20x\r\n"
    "HTTPRequest3=$Empty\r\n"
    "HTTPRequestCount=4\r\n"
    "TCP UDP Port=23\r\n"
    "Secure=1\r\n"
    "Login=admin\r\n"
    "Password=cGEgc3M9OyI=\r\n"
    "Connected=4\r\n"
    "Timeout=7\r\n"
    "Send Http=1\r\n"
    "Remote Port=5000\r\n"
    "Local Echo=1\r\n"
    "Remote Echo=0\r\n"
    "[Display Settings]\r\n"
    "Display Type=1\r\n"
    "[Send Settings]\r\n"
    "Line Terminator=1\r\n"
    "[Control System]\r\n"
    "Mode=0\r\n"
    "[Serial Settings]\r\n"
    "COM Port=/dev/ttyUSB0\r\n"
    "Baud=9600\r\n"
    "Parity=2\r\n"
    "Data=8\r\n"
    "Stop=1\r\n"
    "Flow=2\r\n"
    "[Colors]\r\n"
    "Background=0\r\n"
    "Incoming=16777215\r\n"
    "Local Echo=65280\r\n"
    "Status=65535\r\n"
    "Informational=10468863\r\n"
    "[Logging]\r\n"
    "Log All=1\r\n"
    "Log File=C:\\logs\\log.txt\r\n"
    "Log Count=2\r\n"
    "Log Bytes=12345\r\n"
    "[Polling]\r\n"
    "Polling=1\r\n"
    "PollStrings1=A\r\n"
    "PollStrings2=B$20C\r\n"
    "PollStringsCount=2\r\n"
    "Poll Period=500\r\n"
    "Poll Count=1\r\n"
    "Poll Position=1\r\n";

SessionFile RoomSession() {
    SessionFile f;
    SessionSettings& s = f.session;
    s.type = SessionType::TcpClient;
    s.inUse = true;
    s.name = "Room 101";
    s.comment = "Projector in room 101\r\n  second=line;\"x\"\r\n";
    s.host = "projector.local";
    s.httpRequest = "GET / HTTP/1.0\r\nHost: x\r\n\r\n";
    s.port = "23";
    s.secure = true;
    s.sshUser = "admin";
    s.sshPassword = "pa ss=;\"";
    s.serialPort = "/dev/ttyUSB0";
    s.baud = 9600;
    s.parity = Parity::Even;
    s.dataBits = 8;
    s.stopBits = StopBits::OneAndHalf;
    s.flow = FlowControl::Software;
    s.state = ConnectionState::Connected;
    s.timeout = 7;
    s.httpMode = true;
    s.remotePort = 5000;
    f.fileSpec = "C:\\Sessions\\room101.ini";
    f.displayType = DisplayType::Hex;
    f.terminator = LineTerminator::CrLf;
    f.mode = ConversionMode::Amx;
    f.localEcho = true;
    f.log = {true, "C:\\logs\\log.txt", 2, 12345};
    f.poll.on = true;
    f.poll.text = "A\r\nB C";
    f.poll.period = 500;
    f.poll.count = 1;
    f.poll.position = 1;
    return f;
}

void ExpectSameContents(const SessionFile& a, const SessionFile& b, const std::string& note) {
    const SessionSettings& x = a.session;
    const SessionSettings& y = b.session;
    EXPECT_EQ(x.type, y.type) << note;
    EXPECT_EQ(x.inUse, y.inUse) << note;
    EXPECT_EQ(x.state, y.state) << note;
    EXPECT_EQ(x.host, y.host) << note;
    EXPECT_EQ(x.port, y.port) << note;
    EXPECT_EQ(x.serialPort, y.serialPort) << note;
    EXPECT_EQ(x.baud, y.baud) << note;
    EXPECT_EQ(x.parity, y.parity) << note;
    EXPECT_EQ(x.dataBits, y.dataBits) << note;
    EXPECT_EQ(x.stopBits, y.stopBits) << note;
    EXPECT_EQ(x.flow, y.flow) << note;
    EXPECT_EQ(x.timeout, y.timeout) << note;
    EXPECT_EQ(x.httpMode, y.httpMode) << note;
    EXPECT_EQ(x.httpRequest, y.httpRequest) << note;
    EXPECT_EQ(x.secure, y.secure) << note;
    EXPECT_EQ(x.sshUser, y.sshUser) << note;
    EXPECT_EQ(x.sshPassword, y.sshPassword) << note;
    EXPECT_EQ(x.name, y.name) << note;
    EXPECT_EQ(x.comment, y.comment) << note;
    EXPECT_EQ(x.remotePort, y.remotePort) << note;
    EXPECT_EQ(a.runAsRemote, b.runAsRemote) << note;
    EXPECT_EQ(a.remotePanel, b.remotePanel) << note;
    EXPECT_EQ(a.fileSpec, b.fileSpec) << note;
    EXPECT_EQ(a.displayType, b.displayType) << note;
    EXPECT_EQ(a.terminator, b.terminator) << note;
    EXPECT_EQ(a.mode, b.mode) << note;
    EXPECT_EQ(a.localEcho, b.localEcho) << note;
    EXPECT_EQ(a.remoteEcho, b.remoteEcho) << note;
    EXPECT_EQ(a.colours, b.colours) << note;
    EXPECT_EQ(a.log.on, b.log.on) << note;
    EXPECT_EQ(a.log.file, b.log.file) << note;
    EXPECT_EQ(a.log.part, b.log.part) << note;
    EXPECT_EQ(a.log.bytes, b.log.bytes) << note;
    EXPECT_EQ(a.poll.on, b.poll.on) << note;
    EXPECT_EQ(a.poll.position, b.poll.position) << note;
    EXPECT_EQ(a.poll.period, b.poll.period) << note;
    EXPECT_EQ(a.poll.count, b.poll.count) << note;
    EXPECT_EQ(a.poll.text, b.poll.text) << note;
}

TEST(SessionFile, WrittenAsTheWindowsFunctionsWriteIt) {
    TempFolder folder;
    std::string error;
    ASSERT_TRUE(WriteSessionFile(folder.File("room101.ini"), RoomSession(), &error)) << error;
    EXPECT_EQ(folder.Read("room101.ini"), kRoomFile);
    EXPECT_EQ(folder.Read("room101.pol"), "A\r\nB C\r\n");
    // Only the two files: the temporary file is gone.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                            std::filesystem::directory_iterator()),
              2);
}

TEST(SessionFile, EveryKeyIsRead) {
    TempFolder folder;
    folder.Put("room101.ini", std::string(kRoomFile));
    SessionFile expected = RoomSession();
    // The last line of the comment and of the request had a CR LF, so their counts are one
    // higher than their lines and the texts come back whole.
    const SessionFile read = ReadSessionFile(folder.File("room101.ini"));
    EXPECT_TRUE(read.readable);
    ExpectSameContents(read, expected, "room file");
}

TEST(SessionFile, EveryKeySurvivesARoundTrip) {
    SessionFile odd = RoomSession();
    odd.session.type = SessionType::SshClient;
    odd.session.inUse = false;
    odd.session.state = ConnectionState::Connecting;
    odd.session.host = "10.0.0.9";
    odd.session.sshPassword = std::string("\x01\xff secret", 9);
    odd.session.comment = "\"quoted\"\r\n\r\n\tx";
    odd.session.httpRequest.clear();
    odd.session.timeout = -3;
    odd.session.parity = Parity::Space;
    odd.runAsRemote = false;
    odd.remotePanel = "/home/u/panel.qzr";
    odd.displayType = DisplayType::Mixed;
    odd.terminator = LineTerminator::Lf;
    odd.mode = ConversionMode::Extron;
    odd.localEcho = false;
    odd.remoteEcho = true;
    odd.colours[ColourSlot::Status] = Rgb(1, 2, 3);
    odd.colours[ColourSlot::Background] = Rgb(255, 255, 255);
    odd.log = {false, "", 0, 0};
    odd.poll = {false, 0, 0, 0, std::nullopt};

    SessionFile polled = RoomSession();
    polled.poll.text = "A\r\nB\r\nC\r\n";
    polled.poll.count = 3;

    const std::pair<const char*, SessionFile> cases[] = {
        {"room", RoomSession()}, {"odd values", odd}, {"trailing poll line", polled},
        {"defaults", SessionFile{}}};
    for (const auto& [name, contents] : cases) {
        TempFolder folder;
        const std::string path = folder.File("round.ini");
        SessionFile written = contents;
        std::string error;
        ASSERT_TRUE(WriteSessionFile(path, written, &error)) << name << ": " << error;
        // What cannot be told from the file: polling text is stored even when empty.
        if (!written.poll.text) written.poll.text = "";
        const SessionFile read = ReadSessionFile(path);
        ExpectSameContents(read, written, name);
    }
}

TEST(SessionFile, AMissingFileGivesEveryDefault) {
    TempFolder folder;
    const std::string path = folder.File("nothing.ini");
    const SessionFile read = ReadSessionFile(path);
    SessionFile expected;
    expected.fileSpec = path;
    EXPECT_FALSE(read.readable);
    ExpectSameContents(read, expected, "missing");
    EXPECT_EQ(read.mode, ConversionMode::NoConversion);
    EXPECT_EQ(read.colours[ColourSlot::Informational], 10468863u);
}

struct HandMade {
    const char* name;
    std::string text;
    void (*check)(const SessionFile&);
};

TEST(SessionFile, FilesMadeByHandOrByOtherPrograms) {
    const HandMade cases[] = {
        {"LF endings, lower-case names, blanks around =",
         "[connection settings]\ntype = 3\nurl =  host  \ntimeout=10\n[POLLING]\npolling=1\n"
         "pollstrings1=x\npollstringscount=1\n",
         [](const SessionFile& f) {
             EXPECT_EQ(f.session.type, SessionType::TcpServer);
             EXPECT_EQ(f.session.host, "host");
             EXPECT_EQ(f.session.timeout, 10);
             EXPECT_TRUE(f.poll.on);
             // The presence test is case-sensitive: the lower-case lines are not found.
             EXPECT_EQ(f.poll.text, std::optional<std::string>(""));
         }},
        {"byte-order mark", "\xEF\xBB\xBF[Connection Settings]\r\nType=1\r\nCommentCount=1\r\nComment1=hi\r\n",
         [](const SessionFile& f) {
             EXPECT_EQ(f.session.type, SessionType::Serial);
             EXPECT_EQ(f.session.comment, "hi");
         }},
        {"duplicate sections and keys: the first ones count",
         "[Connection Settings]\r\nType=2\r\nType=5\r\n[Connection Settings]\r\nURL=late\r\n",
         [](const SessionFile& f) {
             EXPECT_EQ(f.session.type, SessionType::TcpClient);
             EXPECT_EQ(f.session.host, "");
         }},
        {"time-outs above 10 read as 5", "[Connection Settings]\r\nTimeout=30\r\n",
         [](const SessionFile& f) { EXPECT_EQ(f.session.timeout, 5); }},
        {"numbers read leniently", "[Serial Settings]\r\nBaud=19200 baud\r\nData=x8\r\nParity=-\r\n",
         [](const SessionFile& f) {
             EXPECT_EQ(f.session.baud, 19200);
             EXPECT_EQ(f.session.dataBits, 0);
             EXPECT_EQ(f.session.parity, Parity::None);
         }},
        {"older single-line comment, request and poll data",
         "[Connection Settings]\r\nComment=one$0D$0Atwo\r\nHTTP Request=GET / HTTP/1.0$0D$0A\r\n"
         "HTTPRequest1=ignored\r\nHTTPRequestCount=1\r\n[Polling]\r\nPolling=1\r\n"
         "PollData=A$0D$0AB\r\nPollStrings1=ignored\r\nPollStringsCount=1\r\n",
         [](const SessionFile& f) {
             EXPECT_EQ(f.session.comment, "one\r\ntwo");
             EXPECT_EQ(f.session.httpRequest, "GET / HTTP/1.0\r\n");
             EXPECT_EQ(f.poll.text, std::optional<std::string>("A\r\nB"));
         }},
        {"the count form wins over the older comment",
         "[Connection Settings]\r\nComment=old\r\nCommentCount=1\r\nComment1=new\r\n",
         [](const SessionFile& f) { EXPECT_EQ(f.session.comment, "new"); }},
        {"polling on without poll strings", "[Polling]\r\nPolling=1\r\nPoll Count=4\r\n",
         [](const SessionFile& f) {
             EXPECT_TRUE(f.poll.on);
             EXPECT_EQ(f.poll.count, 4);
             EXPECT_EQ(f.poll.text, std::nullopt);
         }},
        {"values longer than their fields are cut",
         "[Connection Settings]\r\nName=" + std::string(40, 'n') + "\r\nTCP UDP Port=1234567\r\nURL=" +
             std::string(600, 'h') + "\r\n",
         [](const SessionFile& f) {
             EXPECT_EQ(f.session.name, std::string(20, 'n'));
             EXPECT_EQ(f.session.port, "12345");
             EXPECT_EQ(f.session.host, std::string(255, 'h'));
         }},
        {"a password that is not Base64 gives none, quotes are removed",
         "[Connection Settings]\r\nPassword=no*base64\r\nLogin=\"  admin \"\r\n",
         [](const SessionFile& f) {
             EXPECT_EQ(f.session.sshPassword, "");
             EXPECT_EQ(f.session.sshUser, "admin");
         }},
        {"a 1 MB line and binary garbage around the keys",
         std::string("\0\x01\xff garbage\r\n", 13) + "[Connection Settings]\r\nJunk=" +
             std::string(1 << 20, '\xfe') + "\r\nType=4\r\n\x7f\x80=\x81\r\n[Colors]\r\nStatus=255\r\n",
         [](const SessionFile& f) {
             EXPECT_EQ(f.session.type, SessionType::UdpClient);
             EXPECT_EQ(f.colours[ColourSlot::Status], 255u);
         }},
    };
    for (const HandMade& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        folder.Put("hand.ini", c.text);
        const SessionFile read = ReadSessionFile(folder.File("hand.ini"));
        EXPECT_TRUE(read.readable);
        c.check(read);
    }
}

TEST(SessionFile, SavingReplacesTheWholeFile) {
    TempFolder folder;
    folder.Put("s.ini", "[Connection Settings]\r\nStale=1\r\nType=6\r\n[Extra]\r\nx=1\r\n");
    std::string error;
    ASSERT_TRUE(WriteSessionFile(folder.File("s.ini"), SessionFile{}, &error)) << error;
    const std::string text = folder.Read("s.ini");
    EXPECT_EQ(text.find("Stale"), std::string::npos);
    EXPECT_EQ(text.find("[Extra]"), std::string::npos);
    EXPECT_EQ(text.rfind("[Connection Settings]\r\nRemoteControl=\r\nType=0\r\n", 0), 0u);
    // Blank poll text: no companion file.
    EXPECT_FALSE(std::filesystem::exists(folder.File("s.pol")));
}

TEST(SessionFile, AFailedSaveSaysWhyAndKeepsTheOldFile) {
    TempFolder folder;
    folder.Put("keep.ini", std::string(kRoomFile));
    std::filesystem::permissions(folder.File("keep.ini"), std::filesystem::perms::owner_read);
    std::filesystem::permissions(
        folder.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    bool saved = true;
    bool created = true;
    std::string error;
    std::string newError;
    const bool arranged = ostrel::testing::WithPermissionsObeyed([&] {
        saved = WriteSessionFile(folder.File("keep.ini"), SessionFile{}, &error);
        created = WriteSessionFile(folder.File("new.ini"), SessionFile{}, &newError);
    });
    if (!arranged) GTEST_SKIP() << "permission bits cannot be made to apply here";
    EXPECT_FALSE(saved);
    EXPECT_EQ(error, "permission denied");
    EXPECT_EQ(folder.Read("keep.ini"), kRoomFile);
    EXPECT_FALSE(created);
    EXPECT_EQ(newError, "permission denied");

    // A value the file cannot hold names its key.
    std::filesystem::permissions(folder.Path(), std::filesystem::perms::owner_all);
    std::filesystem::permissions(folder.File("keep.ini"), std::filesystem::perms::owner_all);
    SessionFile broken;
    broken.fileSpec = "/tmp/a\nb.ini";
    EXPECT_FALSE(WriteSessionFile(folder.File("keep.ini"), broken, &error));
    EXPECT_EQ(error, "a value holds a line break (key \"FileSpec\")");
    EXPECT_EQ(folder.Read("keep.ini"), kRoomFile);
}

// Events of the folder's files while work runs: how often one was opened, and written and closed.
struct FileEvents {
    int opened = 0;
    int written = 0;
};
FileEvents EventsDuring(const std::filesystem::path& folder, const std::function<void()>& work) {
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    EXPECT_GE(::inotify_add_watch(watch, folder.c_str(), IN_OPEN | IN_CLOSE_WRITE), 0);
    work();
    FileEvents events;
    alignas(inotify_event) char buffer[1 << 16];
    ssize_t n = 0;
    while ((n = ::read(watch, buffer, sizeof buffer)) > 0) {
        for (char* p = buffer; p < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(p);
            if ((event->mask & IN_ISDIR) == 0) {
                if ((event->mask & IN_OPEN) != 0) ++events.opened;
                if ((event->mask & IN_CLOSE_WRITE) != 0) ++events.written;
            }
            p += sizeof(inotify_event) + event->len;
        }
    }
    ::close(watch);
    return events;
}

TEST(SessionFile, OneReadToLoadOneWriteToSaveAndOnlyTheOwnerMayReadIt) {
    TempFolder folder;
    const std::string path = folder.File("room.ini");
    SessionFile room = RoomSession();
    room.poll.text.reset();  // no companion file
    std::string error;
    const FileEvents save = EventsDuring(
        folder.Path(), [&] { ASSERT_TRUE(WriteSessionFile(path, room, &error)) << error; });
    EXPECT_EQ(save.written, 1);
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    const FileEvents load = EventsDuring(folder.Path(), [&] { (void)ReadSessionFile(path); });
    EXPECT_EQ(load.opened, 1);
    EXPECT_EQ(load.written, 0);

    // A file that exists keeps the permissions its owner gave it.
    const auto shared = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                        std::filesystem::perms::group_read;
    std::filesystem::permissions(path, shared);
    const FileEvents again = EventsDuring(
        folder.Path(), [&] { ASSERT_TRUE(WriteSessionFile(path, room, &error)) << error; });
    EXPECT_EQ(again.written, 1);
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all, shared);
}

TEST(SessionFile, CompanionPollFileNames) {
    EXPECT_EQ(PollFilePath("/s/x.ini"), "/s/x.pol");
    EXPECT_EQ(PollFilePath("x.INI"), "x.pol");
    EXPECT_EQ(PollFilePath("ab"), "pol");
}

}  // namespace
}  // namespace ostrel
