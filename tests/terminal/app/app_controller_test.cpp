#include "terminal/app/app_controller.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "../session/session_fakes.h"
#include "controller_fixture.h"
#include "front_end_fakes.h"
#include "terminal/app/startup_text.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;
using Strings = std::vector<std::string>;

long CountOf(const Strings& names, std::string_view name) {
    return std::count(names.begin(), names.end(), name);
}

// Every test runs with its own per-user folder.
class ControllerTest : public ::testing::Test {
protected:
    ControllerTest() {
        home_ = std::filesystem::temp_directory_path() /
                ("ostrel-controller-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(home_);
        std::filesystem::create_directories(home_);
        setenv("OSTREL_HOME", home_.c_str(), 1);
    }
    ~ControllerTest() override { std::filesystem::remove_all(home_); }

    // The pane's lines, without the empty ones.
    Strings PaneLines() const { return testing::NonEmptyLines(view_.pane.Text()); }

    std::filesystem::path home_;
    FakeView view_;
    ScriptedTessnet net_;
    FakeSerialDevice serial_;
    ScriptedSsh ssh_;
    AppController controller_{view_, net_, serial_};
};

TEST_F(ControllerTest, StartUpShowsWhoWeAreAndTheMissingDefaultSession) {
    ASSERT_TRUE(controller_.Start({}));
    const Strings lines = PaneLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Ostrel v" + std::string(ProgramVersion()));
    EXPECT_EQ(lines[1].rfind("Hostname     = ", 0), 0u);
    EXPECT_EQ(lines.back(), "No Default.ini found...");
    EXPECT_EQ(view_.pane.Background(), Rgb(0, 0, 0));
    EXPECT_TRUE(view_.inputFocused);
    EXPECT_EQ(view_.status[0], "No Active Session...");
    EXPECT_EQ(view_.status[1], "No Conversion");
    EXPECT_EQ(view_.status[2], "Text");
    EXPECT_EQ(view_.status[3], "CRLF");
    EXPECT_EQ(view_.status[4], "");
    EXPECT_EQ(view_.status[5], "");
    EXPECT_EQ(view_.timers[TimerId::Poll], 1000);
    EXPECT_EQ(view_.timers[TimerId::CapsLock], 200);
    EXPECT_EQ(view_.timers.count(TimerId::SerialRead), 0u);
    EXPECT_TRUE(view_.enabled[CommandId::RemoteNew]);
    EXPECT_FALSE(view_.enabled[CommandId::RemoteSave]);
    EXPECT_FALSE(view_.enabled[CommandId::RemoteConfigure]);
}

TEST_F(ControllerTest, SocketLibraryFailureIsAStopBox) {
    net_.initResult = 0;
    EXPECT_FALSE(controller_.Start({}));
    ASSERT_EQ(view_.boxes.size(), 1u);
    EXPECT_EQ(view_.boxes[0].title, "Portwell");
    EXPECT_EQ(view_.boxes[0].text, "Unable to initialize Portwell library");
    EXPECT_EQ(view_.boxes[0].icon, MessageIcon::Stop);
    // The rest of start-up is skipped.
    EXPECT_EQ(PaneLines().back().find("Default.ini"), std::string::npos);
}

TEST_F(ControllerTest, SshLibraryFailureIsAFatalErrorBoxAndAStartedLibraryEndsWithTheProgram) {
    controller_.AttachSsh(ssh_, nullptr);
    ssh_.initOk = false;
    EXPECT_FALSE(controller_.Start({}));
    ASSERT_EQ(view_.boxes.size(), 1u);
    EXPECT_EQ(view_.boxes[0].title, "Fatal Error!");
    EXPECT_EQ(view_.boxes[0].text, "Unable to initialize SSH library...");
    EXPECT_EQ(view_.boxes[0].icon, MessageIcon::Stop);
    EXPECT_EQ(PaneLines().back().find("Default.ini"), std::string::npos);
    controller_.Shutdown();
    EXPECT_EQ(ssh_.uninits, 0);

    FakeView view;
    AppController started(view, net_, serial_);
    started.AttachSsh(ssh_, nullptr);
    ssh_.initOk = true;
    ASSERT_TRUE(started.Start({}));
    EXPECT_EQ(ssh_.inits, 2);
    started.Shutdown();
    started.Shutdown();
    EXPECT_EQ(ssh_.uninits, 1);
}

TEST_F(ControllerTest, MenuCommandsChangeTheSettingsAndTheStatusBar) {
    ASSERT_TRUE(controller_.Start({}));
    struct Case {
        CommandId command;
        int part;
        std::string text;
    };
    const Case cases[] = {
        {CommandId::ModeAmx, 1, "AMX(tm)"},
        {CommandId::ModeToggle, 1, "Crestron(tm)"},
        {CommandId::ModeToggle, 1, "Extron(tm)"},
        {CommandId::ModeToggle, 1, "No Conversion"},
        {CommandId::ModeExtron, 1, "Extron(tm)"},
        {CommandId::ModeNoConversion, 1, "No Conversion"},
        {CommandId::ViewHex, 2, "Hex"},
        {CommandId::ViewToggle, 2, "Text"},
        {CommandId::ViewToggle, 2, "Hex"},
        {CommandId::ViewText, 2, "Text"},
        {CommandId::TerminateCr, 3, "CR"},
        {CommandId::TerminatorToggle, 3, "LF"},
        {CommandId::TerminatorToggle, 3, "None"},
        {CommandId::TerminatorToggle, 3, "CRLF"},
        {CommandId::NoTerminator, 3, "None"},
        {CommandId::TerminateLf, 3, "LF"},
        {CommandId::TerminateCrLf, 3, "CRLF"},
        {CommandId::EchoRemote, 4, "RE"},
        {CommandId::EchoLocal, 4, "LE RE"},
        {CommandId::EchoRemote, 4, "LE"},
        {CommandId::EchoLocal, 4, ""},
    };
    for (const Case& c : cases) {
        controller_.Dispatch(c.command);
        EXPECT_EQ(view_.status[c.part], c.text) << static_cast<int>(c.command);
    }
    controller_.Dispatch(CommandId::ModeCrestron);
    controller_.Dispatch(CommandId::ViewHex);
    controller_.Dispatch(CommandId::TerminateCr);
    controller_.Dispatch(CommandId::EchoRemote);
    EXPECT_TRUE(view_.checked[CommandId::ModeCrestron]);
    EXPECT_FALSE(view_.checked[CommandId::ModeAmx]);
    EXPECT_TRUE(view_.checked[CommandId::ViewHex]);
    EXPECT_FALSE(view_.checked[CommandId::ViewText]);
    EXPECT_TRUE(view_.checked[CommandId::TerminateCr]);
    EXPECT_FALSE(view_.checked[CommandId::TerminateCrLf]);
    EXPECT_TRUE(view_.checked[CommandId::EchoRemote]);
    EXPECT_FALSE(view_.checked[CommandId::EchoLocal]);
}

TEST_F(ControllerTest, EveryMenuItemIsHandled) {
    for (const MenuDefinition& menu : MainMenus())
        for (const MenuItem& item : menu.items)
            EXPECT_TRUE(AppController::HasHandler(item.id)) << MenuLabel(item.text, true);
    EXPECT_FALSE(AppController::HasHandler(CommandId::FileMenu));
}

TEST_F(ControllerTest, EditCommandsGoToTheFocusedControl) {
    ASSERT_TRUE(controller_.Start({}));
    for (CommandId id : {CommandId::SelectAll, CommandId::Cut, CommandId::Copy, CommandId::Paste,
                         CommandId::Clear})
        controller_.Dispatch(id);
    EXPECT_EQ(view_.edits,
              (std::vector<EditAction>{EditAction::SelectAll, EditAction::Cut, EditAction::Copy,
                                       EditAction::Paste, EditAction::Clear}));
}

TEST_F(ControllerTest, SendingTypedLinesThroughTheSession) {
    ASSERT_TRUE(controller_.Start({}));
    controller_.Dispatch(CommandId::SessionTcpClient);
    net_.Notify(controller_.Settings().handle, kInetEventConnect);
    EXPECT_EQ(view_.status[0], "TCP Client Connected at: 10.0.0.1:23");
    controller_.Dispatch(CommandId::EchoLocal);
    view_.input.text = "PWR ON$0D";
    controller_.OnSend();
    EXPECT_EQ(net_.Writes(), Strings{"PWR ON\r\r\n"});
    EXPECT_EQ(view_.input.text, "");
    EXPECT_EQ(PaneLines().back(), "PWR ON$0D$0D$0A");
    controller_.OnBrowseOlder();
    EXPECT_EQ(view_.input.text, "PWR ON$0D");
    controller_.OnBrowseNewer();
    EXPECT_EQ(view_.input.text, "");
}

TEST_F(ControllerTest, TimersDriveSerialReadsAndTheCapsLockPart) {
    ASSERT_TRUE(controller_.Start({}));
    view_.capsLock = true;
    controller_.OnTimer(TimerId::CapsLock);
    EXPECT_EQ(view_.status[5], "\tCAPS");
    view_.capsLock = false;
    controller_.OnTimer(TimerId::CapsLock);
    EXPECT_EQ(view_.status[5], "");

    controller_.Settings().type = SessionType::Serial;
    controller_.Settings().serialPort = "/dev/ttyS0";
    controller_.Dispatch(CommandId::SessionRestart);
    EXPECT_EQ(view_.timers[TimerId::SerialRead], 50);
    serial_.waiting = "OK\r\n";
    controller_.OnTimer(TimerId::SerialRead);
    EXPECT_EQ(PaneLines().back(), "OK");
    controller_.Dispatch(CommandId::SessionClose);
    EXPECT_EQ(view_.timers.count(TimerId::SerialRead), 0u);
}

TEST_F(ControllerTest, NewInstanceSitsOnTopOfThisWindow) {
    ASSERT_TRUE(controller_.Start({}));
    controller_.Dispatch(CommandId::NewInstance);
    ASSERT_EQ(view_.newInstances.size(), 1u);
    EXPECT_EQ(view_.newInstances[0],
              (Strings{"/top:80", "/height:316", "/left:130", "/width:624"}));
    view_.startsInstances = false;
    controller_.Dispatch(CommandId::NewInstance);
    EXPECT_EQ(PaneLines().back(), "A new instance of Ostrel could not be started...");
}

TEST_F(ControllerTest, AboutBoxNamesVersionAndSystem) {
    ASSERT_TRUE(controller_.Start({}));
    controller_.Dispatch(CommandId::About);
    ASSERT_EQ(view_.boxes.size(), 1u);
    EXPECT_EQ(view_.boxes[0].title, "About Ostrel");
    EXPECT_EQ(view_.boxes[0].icon, MessageIcon::Information);
    EXPECT_EQ(view_.boxes[0].text.rfind("Ostrel v" + std::string(ProgramVersion()) + "\n\n", 0),
              0u);
    EXPECT_NE(view_.boxes[0].text.find(SystemDescription()), std::string::npos);
}

// Help > Ostrel Help finds the page beside a built or portable program, and in the
// documentation folder of an installed one.
TEST(HelpPage, BesideTheProgramThenInTheInstalledDocumentation) {
    EXPECT_EQ(HelpPageCandidates("/opt/av/bin"),
              (std::vector<std::filesystem::path>{"/opt/av/bin/Ostrel.html",
                                                  "/opt/av/share/doc/ostrel/Ostrel.html"}));
}

TEST_F(ControllerTest, QuitClosesSavesAndReleasesOnce) {
    ASSERT_TRUE(controller_.Start({}));
    controller_.Dispatch(CommandId::SessionUdpClient);
    view_.input.text = "remember me";
    controller_.OnSend();
    controller_.Dispatch(CommandId::Quit);
    controller_.Dispatch(CommandId::Quit);
    controller_.OnWindowClosing();
    EXPECT_EQ(view_.closes, 1);
    EXPECT_EQ(CountOf(net_.CallNames(), "Uninitialize"), 1);
    EXPECT_EQ(net_.calls[net_.calls.size() - 2].name, "Disconnect");
    std::ifstream saved(home_ / "cmnds.txt");
    std::string first;
    std::getline(saved, first);
    EXPECT_EQ(first, "remember me\r");
}

TEST(StartupText, SessionFileArgument) {
    const std::pair<Strings, std::optional<std::string>> cases[] = {
        {{}, std::nullopt},
        {{"/LEFT:10", "/TOP:20"}, std::nullopt},
        {{"room.ini"}, "room.ini"},
        {{"\"C:\\Sessions\\Room", "1.ini\""}, "C:\\Sessions\\Room 1.ini"},
        {{"  panel.qzr  "}, "panel.qzr"},
        {{"\"\"x.ini\"\""}, "\"x.ini\""},  // one pair only
        {{"ROOM.INI"}, std::nullopt},      // the test is case-sensitive
    };
    for (const auto& [arguments, expected] : cases)
        EXPECT_EQ(SessionFileArgument(arguments), expected);
}

}  // namespace
}  // namespace ostrel
