// The controller's persistence: start-up sessions, Open and Save Session, the log, polling and
// the window placement, through a recording front end and a scripted socket library.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "../../platform/file_permissions.h"
#include "controller_fixture.h"
#include "terminal/persist/session_log.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

// A UDP client session with polling on: opening it needs no connect event, so every poll
// string reaches the socket library at once.
constexpr std::string_view kPollingSession =
    "[Connection Settings]\r\nType=4\r\nURL=10.1.1.1\r\nTCP UDP Port=5000\r\n"
    "CommentCount=2\r\nComment1=Rack$20A$0D\r\nComment2=second\r\n"
    "[Send Settings]\r\nLine Terminator=2\r\n[Control System]\r\nMode=3\r\n"
    "[Polling]\r\nPolling=1\r\nPoll Period=250\r\nPollStrings1=A\r\nPollStrings2=B\r\n"
    "PollStrings3=C\r\nPollStringsCount=3\r\n";

class PersistTest : public ControllerFixture {
protected:
    void Tick(int n) {
        for (int i = 0; i < n; ++i)
            controller_.OnTimer(TimerId::Poll);
    }
};

TEST_F(PersistTest, StartUpWithAQuotedSessionPathLoadsAndOpensIt) {
    const std::string path = Put("my jobs/rack room.ini", kPollingSession);
    // Quoted as a desktop shortcut passes it, split at the blank, with placement words around.
    const std::string folder = (home_ / "my").string();
    ASSERT_TRUE(controller_.Start({"/left:5", "\"" + folder, "jobs/rack", "room.ini\""}));
    EXPECT_TRUE(PaneHas(path));
    EXPECT_EQ(view_.pane.ColourAt(view_.pane.Text().find(path)),
              DefaultColourTable()[ColourSlot::Informational]);
    EXPECT_FALSE(PaneHas("No Default.ini found..."));
    EXPECT_EQ(net_.CallNames(), Strings{"AsyncConnect"});
    EXPECT_EQ(view_.status[0], "UDP Client Ready - 10.1.1.1:5000");
    EXPECT_EQ(view_.status[3], "CR");
    // The comment is shown with its escapes decoded.
    EXPECT_TRUE(PaneHas("Rack A"));
    EXPECT_TRUE(PaneHas("second"));
    EXPECT_TRUE(controller_.Poll().On());
    EXPECT_EQ(view_.timers[TimerId::Poll], 250);
    // Start-up ends with the session name of a fresh program.
    EXPECT_EQ(controller_.SessionPath(), "Default.ini");
}

TEST_F(PersistTest, StartUpLoadsDefaultIniFromTheUserFolder) {
    Put("default.ini", "[Connection Settings]\r\nType=4\r\nURL=10.2.2.2\r\nTCP UDP Port=7\r\n"
                       "[Colors]\r\nBackground=255\r\n");
    ASSERT_TRUE(controller_.Start({}));
    EXPECT_FALSE(PaneHas("No Default.ini found..."));
    EXPECT_EQ(view_.status[0], "UDP Client Ready - 10.2.2.2:7");
    EXPECT_EQ(view_.pane.Background(), Rgb(255, 0, 0));
    EXPECT_FALSE(controller_.Poll().On());
    EXPECT_EQ(view_.timers[TimerId::Poll], 1000);
}

TEST_F(PersistTest, OpenSessionClosesTheOldOneAndOpensTheFile) {
    ASSERT_TRUE(controller_.Start({}));
    controller_.Dispatch(CommandId::SessionUdpClient);
    const std::string path = Put("rack.ini", kPollingSession);
    view_.chosenFiles = {path};
    controller_.Dispatch(CommandId::OpenSession);
    ASSERT_EQ(view_.choices.size(), 1u);
    EXPECT_EQ(view_.choices[0].kind, FileChoice::Kind::Open);
    EXPECT_EQ(view_.choices[0].title, "Open Session...");
    EXPECT_EQ(view_.choices[0].initialName, "Default.ini");
    EXPECT_EQ(view_.choices[0].folder, home_.string());
    EXPECT_EQ(view_.choices[0].filterPattern, "*.ini");
    EXPECT_EQ(net_.CallNames(), (Strings{"AsyncConnect", "Disconnect", "AsyncConnect"}));
    EXPECT_TRUE(PaneHas("Opening session: " + path));
    EXPECT_EQ(view_.status[0], "UDP Client Ready - 10.1.1.1:5000");
    EXPECT_EQ(controller_.SessionPath(), path);  // FileSpec missing: the path loaded

    // Cancel refreshes the status bar and changes nothing.
    view_.status.clear();
    controller_.Dispatch(CommandId::OpenSession);
    EXPECT_EQ(view_.status[0], "UDP Client Ready - 10.1.1.1:5000");
    EXPECT_EQ(view_.choices.back().initialName, path);
}

TEST_F(PersistTest, OpeningAnHttpClientWithoutARequestWaitsForALine) {
    ASSERT_TRUE(controller_.Start({}));
    view_.chosenFiles = {Put("web.ini", "[Connection Settings]\r\nType=2\r\nURL=h\r\n"
                                        "TCP UDP Port=80\r\nSend Http=1\r\n")};
    controller_.Dispatch(CommandId::OpenSession);
    EXPECT_EQ(net_.CallNames(), Strings{});
    EXPECT_TRUE(controller_.Settings().inUse);
    EXPECT_EQ(controller_.Settings().type, SessionType::TcpClient);
}

TEST_F(PersistTest, SaveThenOpenGivesBackEverySetting) {
    ASSERT_TRUE(controller_.Start({}));
    controller_.Dispatch(CommandId::SessionUdpClient);
    controller_.Dispatch(CommandId::ModeCrestron);
    controller_.Dispatch(CommandId::ViewHex);
    controller_.Dispatch(CommandId::TerminateLf);
    controller_.Dispatch(CommandId::EchoLocal);
    controller_.Dispatch(CommandId::EchoRemote);
    SessionSettings& s = controller_.Settings();
    s.comment = "first line\r\n  indented";
    s.sshUser = "operator";
    s.sshPassword = " secret ";
    s.timeout = 9;
    controller_.Colours()[ColourSlot::Incoming] = Rgb(10, 20, 30);
    view_.chosenFiles = {(home_ / "log.txt").string()};
    controller_.Dispatch(CommandId::Log);
    view_.pollingDialogEdits = [](Polling& p) {
        p.SetText("STATUS?\r\nPOWER?");
        p.SetPeriodText("750");
    };
    controller_.Dispatch(CommandId::Polling);

    const std::string saved = (home_ / "saved.ini").string();
    view_.chosenFiles = {saved};
    controller_.Dispatch(CommandId::SaveSession);
    ASSERT_EQ(view_.choices.size(), 2u);
    EXPECT_EQ(view_.choices[1].kind, FileChoice::Kind::Save);
    EXPECT_EQ(view_.choices[1].title, "Save Session...");
    EXPECT_EQ(view_.choices[1].initialName, "Default.ini");
    EXPECT_EQ(Read("saved.pol"), "STATUS?\r\nPOWER?\r\n");

    // A second program opens it.
    FakeView otherView;
    ScriptedTessnet otherNet;
    AppController other(otherView, otherNet, serial_);
    ASSERT_TRUE(other.Start({}));
    otherView.chosenFiles = {saved};
    other.Dispatch(CommandId::OpenSession);
    EXPECT_EQ(other.Settings().type, SessionType::UdpClient);
    EXPECT_EQ(other.Settings().host, "10.0.0.1");
    EXPECT_EQ(other.Settings().port, "23");
    EXPECT_EQ(other.Settings().comment, "first line\r\n  indented");
    EXPECT_EQ(other.Settings().sshUser, "operator");
    EXPECT_EQ(other.Settings().sshPassword, "secret");
    EXPECT_EQ(other.Settings().timeout, 9);
    EXPECT_EQ(other.Options().mode, ConversionMode::Crestron);
    EXPECT_EQ(other.GetDisplay().GetDisplayType(), DisplayType::Hex);
    EXPECT_EQ(other.Options().terminator, LineTerminator::Lf);
    EXPECT_TRUE(other.Options().localEcho);
    EXPECT_TRUE(other.Session().RemoteEcho());
    EXPECT_EQ(other.Colours()[ColourSlot::Incoming], Rgb(10, 20, 30));
    EXPECT_TRUE(other.Log().On());
    EXPECT_EQ(other.Log().Settings().file, (home_ / "log.txt").string());
    EXPECT_TRUE(other.Poll().On());
    EXPECT_EQ(other.Poll().List(), (Strings{"STATUS?", "POWER?"}));
    EXPECT_EQ(other.Poll().Period(), 750);
    EXPECT_EQ(other.SessionPath(), saved);
    EXPECT_EQ(otherView.timers[TimerId::Poll], 750);
    EXPECT_TRUE(otherView.checked[CommandId::Log]);
    EXPECT_TRUE(otherView.checked[CommandId::Polling]);
}

TEST_F(PersistTest, AFailedSaveSaysSoInAStatusLine) {
    ASSERT_TRUE(controller_.Start({}));
    const fs::path folder = home_ / "read-only";
    fs::create_directories(folder);
    const std::string path = Put("read-only/job.ini", "[Connection Settings]\r\nType=1\r\n");
    fs::permissions(path, fs::perms::owner_read);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    view_.chosenFiles = {path};
    const bool arranged =
        WithPermissionsObeyed([&] { controller_.Dispatch(CommandId::SaveSession); });
    fs::permissions(folder, fs::perms::owner_all);
    if (!arranged) GTEST_SKIP() << "permission bits cannot be made to apply here";
    EXPECT_EQ(PaneLines().back(),
              "The session was not saved to " + path + ": permission denied...");
    EXPECT_EQ(Read("read-only/job.ini"), "[Connection Settings]\r\nType=1\r\n");
}

TEST_F(PersistTest, UnreadableSessionFileSaysSo) {
    ASSERT_TRUE(controller_.Start({}));
    EXPECT_FALSE(controller_.LoadSessionFile((home_ / "gone.ini").string()));
    EXPECT_EQ(PaneLines().back(), "The session file " + (home_ / "gone.ini").string() +
                                      " could not be read; its settings are the defaults...");
}

TEST_F(PersistTest, LoggingWritesStampedIncomingDataAndRollsOver) {
    ASSERT_TRUE(controller_.Start({}));
    const std::string log = (home_ / "log.txt").string();
    Put("log.txt", "old contents");
    view_.chosenFiles = {log};
    controller_.Dispatch(CommandId::Log);
    EXPECT_EQ(view_.choices.back().title, "Save Session...");
    EXPECT_EQ(view_.choices.back().initialName, "log.txt");
    EXPECT_EQ(view_.choices.back().filterPattern, "*.txt");
    EXPECT_TRUE(view_.checked[CommandId::Log]);
    EXPECT_EQ(Read("log.txt"), "");
    controller_.Log().SetRollOverBytes(100);
    // A status line logs only a stamp; incoming data its lines, each stamped (53 characters).
    controller_.Output().ShowText("Status line", DisplayCategory::Status);
    controller_.Output().ShowText("reply 1\r\n", DisplayCategory::Incoming);
    const std::string afterTwo = Read("log.txt");
    EXPECT_EQ(afterTwo.size(), 21u + 21u + 53u);
    EXPECT_EQ(afterTwo.substr(19, 2), ">>");
    EXPECT_EQ(afterTwo.substr(40, 4), ">>\r\n");
    EXPECT_NE(afterTwo.find(">>reply 1\r\n"), std::string::npos);
    // 53 + 73 characters pass the limit of 100: the next part.
    controller_.Output().ShowText(std::string(50, 'x'), DisplayCategory::Incoming);
    EXPECT_NE(Read("log_1.txt").find(std::string(50, 'x')), std::string::npos);
    EXPECT_EQ(Read("log.txt"), afterTwo);

    // Off, then on again with Cancel: the same file and counters go on.
    controller_.Dispatch(CommandId::Log);
    EXPECT_FALSE(view_.checked[CommandId::Log]);
    controller_.Output().ShowText("unlogged", DisplayCategory::Incoming);
    EXPECT_EQ(Read("log_1.txt").find("unlogged"), std::string::npos);
    view_.chosenFiles = {std::nullopt};
    controller_.Dispatch(CommandId::Log);
    EXPECT_TRUE(view_.checked[CommandId::Log]);
    controller_.Output().ShowText("again", DisplayCategory::Incoming);
    EXPECT_NE(Read("log_1.txt").find("again"), std::string::npos);
}

TEST_F(PersistTest, ASessionFileMayNotPointTheLogAnywhere) {
    ASSERT_TRUE(controller_.Start({}));
    const std::string target = (home_ / ".bashrc").string();
    const std::string evil =
        Put("evil.ini", "[Logging]\r\nLog All=1\r\nLog File=" + target + "\r\n");
    ASSERT_TRUE(controller_.LoadSessionFile(evil));
    EXPECT_FALSE(controller_.Log().On());
    EXPECT_TRUE(PaneHas(LogPathRefusedLine(target)));
    controller_.Output().ShowText("rm -rf ~\r\n", DisplayCategory::Incoming);
    EXPECT_FALSE(fs::exists(target));

    const std::string log = (home_ / "Room 101.log").string();
    ASSERT_TRUE(controller_.LoadSessionFile(
        Put("fine.ini", "[Logging]\r\nLog All=1\r\nLog File=" + log + "\r\n")));
    EXPECT_TRUE(controller_.Log().On());
    controller_.Output().ShowText("reply\r\n", DisplayCategory::Incoming);
    EXPECT_NE(Read("Room 101.log").find(">>reply\r\n"), std::string::npos);
}

TEST_F(PersistTest, ALogThatCannotBeWrittenIsReportedOnceAndLoggingStaysOn) {
    ASSERT_TRUE(controller_.Start({}));
    const std::string log = (home_ / "gone" / "log.txt").string();
    view_.chosenFiles = {log};
    controller_.Dispatch(CommandId::Log);
    for (int i = 0; i < 3; ++i)
        controller_.Output().ShowText("reply\r\n", DisplayCategory::Incoming);
    const std::string report = "The log file " + log + " cannot be written (";
    const Strings lines = PaneLines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [&](const std::string& line) { return line.starts_with(report); }),
              1);
    EXPECT_TRUE(view_.checked[CommandId::Log]);
}

TEST_F(PersistTest, PollingRoundAndRoundThroughTheSendPath) {
    struct Case {
        std::string text;
        Strings sent;
    };
    const Case cases[] = {
        {"A\r\nB\r\nC", {"A\r", "B\r", "C\r", "A\r"}},
        {"A\r\nB\r\nC\r\n", {"A\r", "B\r", "C\r", "\r", "A\r"}},
    };
    for (const Case& c : cases) {
        FakeView view;
        ScriptedTessnet net;
        AppController controller(view, net, serial_);
        ASSERT_TRUE(controller.Start({}));
        controller.Dispatch(CommandId::TerminateCr);
        controller.Dispatch(CommandId::SessionUdpClient);
        view.pollingDialogEdits = [&](Polling& p) { p.SetText(c.text); };
        controller.Dispatch(CommandId::Polling);
        ASSERT_EQ(view.pollingDialogs, 1);
        EXPECT_EQ(view.timersWhenPollingDialogOpened.count(TimerId::Poll), 0u);
        EXPECT_EQ(view.periodShownInPollingDialog, 100);
        EXPECT_EQ(view.timers[TimerId::Poll], 100);
        EXPECT_TRUE(view.checked[CommandId::Polling]);
        for (std::size_t i = 0; i < c.sent.size(); ++i)
            controller.OnTimer(TimerId::Poll);
        EXPECT_EQ(net.Writes(), c.sent) << ::testing::PrintToString(c.text);

        // Off without the dialog; the next tick stops the timer.
        controller.Dispatch(CommandId::Polling);
        EXPECT_EQ(view.pollingDialogs, 1);
        EXPECT_FALSE(view.checked[CommandId::Polling]);
        controller.OnTimer(TimerId::Poll);
        EXPECT_EQ(view.timers.count(TimerId::Poll), 0u);
        EXPECT_EQ(net.Writes().size(), c.sent.size());
    }
}

TEST_F(PersistTest, CancelKeepsTheEditedListAndLeavesPollingOff) {
    ASSERT_TRUE(controller_.Start({}));
    view_.confirmPolling = false;
    view_.pollingDialogEdits = [](Polling& p) {
        p.SetText("X\r\nY");
        p.SetPeriodText("0");
    };
    controller_.Dispatch(CommandId::Polling);
    EXPECT_FALSE(controller_.Poll().On());
    EXPECT_EQ(controller_.Poll().List(), (Strings{"X", "Y"}));
    EXPECT_EQ(view_.timers.count(TimerId::Poll), 0u);
    // A period of 0 runs at the shortest timer period instead of spinning.
    view_.confirmPolling = true;
    view_.pollingDialogEdits = [](Polling& p) { p.SetPeriodText("0"); };
    controller_.Dispatch(CommandId::Polling);
    EXPECT_EQ(view_.timers[TimerId::Poll], kShortestTimerPeriod);
}

TEST_F(PersistTest, PollingOnWithoutPollStringsIsAnError) {
    ASSERT_TRUE(controller_.Start({}));
    ASSERT_TRUE(controller_.LoadSessionFile(Put("p.ini", "[Polling]\r\nPolling=1\r\nPoll Period=30\r\n")));
    ASSERT_EQ(view_.boxes.size(), 1u);
    EXPECT_EQ(view_.boxes[0].title, "Error!");
    EXPECT_EQ(view_.boxes[0].text, "This session has polling enabled\r\nbut no polling data was found!");
    EXPECT_EQ(view_.boxes[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(controller_.Poll().On());
    EXPECT_EQ(controller_.Poll().Text(), "No Poll Data Recovered!\r\n");
    EXPECT_EQ(view_.timers[TimerId::Poll], 30);
}

TEST_F(PersistTest, WindowPlacementIsRestoredAndRecorded) {
    Put("Ostrel.sp", "[Size_Position]\r\nLeft=40\r\nTop=30\r\nWidth=800\r\nHeight=600\r\nIsZoomed=0\r\n");
    ASSERT_TRUE(controller_.Start({}));
    controller_.OnWindowShown();
    EXPECT_EQ(view_.geometry, (WindowRect{40, 30, 800, 600}));

    view_.geometry = {1, 2, 300, 200};
    controller_.OnMoveSizeEnd();
    EXPECT_EQ(Read("Ostrel.sp"),
              "[Size_Position]\r\nLeft=1\r\nTop=2\r\nWidth=300\r\nHeight=200\r\nIsZoomed=0\r\n");

    // A session file with "runAsRemote" keeps moves by the user out of the file; closing the
    // window records the placement all the same.
    ASSERT_TRUE(controller_.LoadSessionFile(Put("remote.ini", "[Connection Settings]\r\nrunAsRemote=1\r\n")));
    view_.geometry = {5, 6, 400, 300};
    controller_.OnMoveSizeEnd();
    EXPECT_NE(Read("Ostrel.sp").find("Left=1\r\n"), std::string::npos);
    controller_.OnWindowDestroyed();
    EXPECT_NE(Read("Ostrel.sp").find("Left=5\r\n"), std::string::npos);
}

TEST_F(PersistTest, NewInstanceWordsPlaceTheWindow) {
    ASSERT_TRUE(controller_.Start({"/top:80", "/height:316", "/left:130", "/width:624"}));
    controller_.OnWindowShown();
    EXPECT_EQ(view_.geometry, (WindowRect{130, 80, 624, 316}));
    EXPECT_TRUE(PaneHas("No Default.ini found..."));
    EXPECT_EQ(Read("Ostrel.sp"),
              "[Size_Position]\r\nLeft=130\r\nTop=80\r\nWidth=624\r\nHeight=316\r\nIsZoomed=0\r\n");
}

}  // namespace
}  // namespace ostrel
