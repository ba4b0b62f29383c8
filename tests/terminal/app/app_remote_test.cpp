// The controller's remote panels: opening one from the menu, a session file or the command
// line, what its buttons send and by which road, saving, the editor's comings and goings and
// closing, through a recording front end and a scripted socket library.
#include "controller_fixture.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

constexpr std::string_view kPanel =
    "[main]\r\nCaption=Rack 4\r\nNetlinxPassThrough=0\r\nLineTerminator=2\r\n"
    "Author=J.$20Smith\r\nCommentCount=3\r\nComment1=Lift$20first\r\nComment2=$Empty\r\n"
    "Comment3=then$20power\r\n"
    "[btn0]\r\nCaption=Power\r\nPushString=PWR$0D\r\nReleaseString=REL\r\n"
    "[btn1]\r\nCaption=Reset\r\nHoldButton=1\r\nHoldTime=5\r\nPushString=P\r\nRepeatString=R\r\n"
    "[btn2]\r\nCaption=Input 1\r\nAltCaption=Input 2\r\nToggleButton=1\r\nPushString=IN2\r\n"
    "ReleaseString=IN1\r\n";

using RemoteTest = ControllerFixture;

TEST_F(RemoteTest, OpeningAPanelShowsItAndOnlyOneAtATime) {
    ASSERT_TRUE(controller_.Start({}));
    const std::string path = Put("rack.qzr", kPanel);
    std::size_t mark = PaneSize();
    ASSERT_TRUE(controller_.OpenRemoteFile("  " + path + " "));
    EXPECT_EQ(PaneLines(mark),
              (Strings{"Opening Remote " + path, "Remote Loaded...",
                       "This Remote designed by: J. Smith", "Lift first", "then power"}));
    EXPECT_EQ(view_.panelsShown, 1);
    EXPECT_EQ(view_.shownPanel, &controller_.Remote());
    EXPECT_EQ(controller_.Remote().caption, "Rack 4");
    // The file's terminator (CR) gives way to the panel's own: none without pass-through.
    EXPECT_EQ(view_.status[3], "None");
    EXPECT_TRUE(view_.enabled[CommandId::RemoteSave]);
    EXPECT_TRUE(view_.enabled[CommandId::RemoteConfigure]);

    mark = PaneSize();
    EXPECT_FALSE(controller_.OpenRemoteFile(Put("other.qzr", "[main]\r\nCaption=Other\r\n")));
    EXPECT_EQ(PaneLines(mark), Strings{"Cannot load more than onw remote!"});
    EXPECT_EQ(controller_.Remote().caption, "Rack 4");
    EXPECT_EQ(view_.panelsShown, 1);

    mark = PaneSize();
    controller_.CloseRemotePanel();
    EXPECT_EQ(PaneLines(mark), Strings{"Closing a Remote..."});
    EXPECT_FALSE(view_.panelOpen);
    EXPECT_FALSE(view_.enabled[CommandId::RemoteSave]);
    EXPECT_TRUE(controller_.OpenRemoteFile(path));
    EXPECT_EQ(view_.panelsShown, 2);
}

// A session file names the panel; its buttons then reach the session exactly as typed lines
// do (terminator, echo, command list), and the input box keeps what the user was typing.
TEST_F(RemoteTest, SessionFilePanelSendsThroughTheSendPath) {
    const std::string panel = Put("rack.qzr", kPanel);
    const std::string session =
        Put("job.ini",
            "[Connection Settings]\r\nType=4\r\nURL=10.1.1.1\r\nTCP UDP Port=5000\r\n"
            "RemoteControl=" +
                panel +
                "\r\nLocal Echo=1\r\n"
                "[Send Settings]\r\nLine Terminator=3\r\n");
    ASSERT_TRUE(controller_.Start({session}));
    ASSERT_TRUE(controller_.Remote().loaded);
    // The session's terminator is read after the panel opened, and wins.
    EXPECT_EQ(view_.status[3], "LF");
    view_.input.text = "half-typed";

    controller_.OnPanelPress(0);
    controller_.OnPanelRelease(0);
    controller_.OnPanelPress(1);
    controller_.OnTimer(TimerId::RemoteHold);  // held past its hold time
    controller_.OnPanelRelease(1);
    controller_.OnPanelPress(2);
    controller_.OnPanelRelease(2);
    EXPECT_EQ(net_.Writes(), (Strings{"PWR\r\n", "REL\n", "P\n", "R\n", "IN2\n"}));
    EXPECT_EQ(view_.beeps, 1);
    EXPECT_TRUE(controller_.Remote().buttons[2].toggled);
    EXPECT_FALSE(view_.panelRefreshes.empty());
    EXPECT_EQ(view_.input.text, "half-typed");
    EXPECT_EQ(controller_.Commands().BrowseOlder(), "IN2");
    const Strings lines = PaneLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "PWR$0D$0A"), lines.end());

    // Saved with the session while it is open, and not once it is closed.
    ASSERT_TRUE(controller_.SaveSessionFile(session));
    EXPECT_NE(Read("job.ini").find("RemoteControl=" + panel + "\r\n"), std::string::npos);
    controller_.CloseRemotePanel();
    ASSERT_TRUE(controller_.SaveSessionFile(session));
    EXPECT_NE(Read("job.ini").find("RemoteControl=\r\n"), std::string::npos);
    // A closed panel's buttons send nothing.
    controller_.OnPanelPress(0);
    EXPECT_EQ(net_.Writes().size(), 5u);
}

TEST_F(RemoteTest, StartUpWithAPanelFileOpensThePanel) {
    const std::string panel = Put("rack.qzr", kPanel);
    Put("default.ini", "[Connection Settings]\r\nType=4\r\nURL=10.1.1.1\r\n");
    ASSERT_TRUE(controller_.Start({"/left:20", panel}));
    EXPECT_TRUE(controller_.Remote().loaded);
    EXPECT_EQ(controller_.Remote().path, panel);
    // The panel file is not a session file, and the default session stays closed.
    EXPECT_TRUE(net_.CallNames().empty());
    EXPECT_EQ(view_.status[0], "No Active Session...");
}

TEST_F(RemoteTest, RemoteMenuCommands) {
    ASSERT_TRUE(controller_.Start({}));
    // New: the template in the per-user folder, and the editor on the first button.
    Put("Default.qzr", "[main]\r\nCaption=Template\r\nNetlinxPassThrough=-1\r\n");
    controller_.Dispatch(CommandId::RemoteNew);
    EXPECT_EQ(controller_.Remote().caption, "Template");
    EXPECT_EQ(view_.editorSelections, std::vector<int>{0});
    EXPECT_TRUE(controller_.RemoteEditorOpen());
    EXPECT_EQ(view_.panelRefreshes.back(), true);  // empty buttons show while editing
    EXPECT_EQ(view_.status[3], "CRLF");
    std::size_t mark = PaneSize();
    controller_.Dispatch(CommandId::RemoteNew);
    EXPECT_EQ(PaneLines(mark), Strings{"Cannot load more than onw remote!"});
    controller_.Dispatch(CommandId::RemoteConfigure);
    controller_.OnPanelRightPress(7);
    EXPECT_EQ(view_.editorSelections, (std::vector<int>{0, 0, 1, 7}));

    // The editor's own commands come back through the host.
    ASSERT_NE(view_.editorHost, nullptr);
    controller_.Remote().netlinxPassThrough = 0;
    view_.editorHost->PassThroughChanged();
    EXPECT_EQ(view_.status[3], "None");
    view_.editorHost->EditorClosed();
    EXPECT_FALSE(controller_.RemoteEditorOpen());
    EXPECT_EQ(view_.panelRefreshes.back(), false);

    // Save: the session's terminator and the window's size go into the file.
    view_.chosenFiles = {(home_ / "saved.qzr").string()};
    mark = PaneSize();
    controller_.Dispatch(CommandId::RemoteSave);
    EXPECT_EQ(view_.choices.back().title, "Save a Remote");
    EXPECT_EQ(view_.choices.back().filterPattern, "*.qzr");
    EXPECT_EQ(PaneLines(mark),
              (Strings{"Saving Remote: " + (home_ / "saved.qzr").string() + ".   Please wait...",
                       "Remote save complete..."}));
    const std::string saved = Read("saved.qzr");
    EXPECT_NE(saved.find("Caption=Template\r\n"), std::string::npos);
    EXPECT_NE(saved.find("LineTerminator=0\r\nHeight=400\r\nWidth=300\r\n"), std::string::npos);
    EXPECT_EQ(controller_.Remote().path, (home_ / "saved.qzr").string());

    // A save that fails says so instead of "complete".
    view_.chosenFiles = {(home_ / "missing" / "x.qzr").string()};
    controller_.Dispatch(CommandId::RemoteSave);
    EXPECT_EQ(PaneLines().back().rfind("The remote was not saved to ", 0), 0u);

    // Closing the panel takes the editor with it; Open offers the panel's path.
    controller_.OnPanelRightPress(3);
    controller_.CloseRemotePanel();
    EXPECT_EQ(view_.editorHost, nullptr);
    EXPECT_FALSE(controller_.RemoteEditorOpen());
    view_.chosenFiles = {std::nullopt};
    controller_.Dispatch(CommandId::RemoteOpen);
    EXPECT_EQ(view_.choices.back().title, "Open a Remote...");
    EXPECT_EQ(view_.choices.back().initialName, (home_ / "missing" / "x.qzr").string());
    EXPECT_FALSE(controller_.Remote().loaded);
}

}  // namespace
}  // namespace ostrel
