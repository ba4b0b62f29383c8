// Panel files: Windows-made files load unchanged, ours have the exact layout, what was loaded
// saves and loads back the same, and damaged files load as defaults without harm.
#include "terminal/remote/remote_file.h"

#include <gtest/gtest.h>

#include "../persist/temp_folder.h"

namespace ostrel {
namespace {

using testing::TempFolder;

// As the Windows tool and a text editor leave it: CR LF, blanks around "=", names in other
// cases, keys out of order, a comment line, sections beyond ButtonCount.
constexpr const char kWindowsPanel[] =
    "[MAIN]\r\n"
    "; made on the commissioning laptop\r\n"
    "Caption =  Room 101 Projector  \r\n"
    "ButtonCount= 3\r\n"
    "netlinxdevice = 5001:1:0\r\n"
    "NetlinxPassThrough=-1\r\n"
    "Version=1.0\r\n"
    "TimerRate = 150\r\n"
    "LineTerminator=2\r\n"
    "Author= J. Smith$20(AV)\r\n"
    "CommentCount=3\r\n"
    "Comment1=Lift$20first\r\n"
    "Comment2=$Empty\r\n"
    "Comment3=then$20power\r\n"
    "Height=400\r\n"
    "Width = 360\r\n"
    "[btn0]\r\n"
    "CAPTION=Power\r\n"
    "pushstring=PWR$20ON$0D\r\n"
    "ToggleButton=-1\r\n"
    "AltCaption=Power Off\r\n"
    "ReleaseString=PWR OFF$0D\r\n"
    "[Btn1]\r\n"
    "Caption=Vol +\r\n"
    "PushString=VOL+\r\n"
    "RepeatString= VOL+ \r\n"
    "[btn2]\r\n"
    "HoldTime=5\r\n"
    "HoldButton=1\r\n"
    "Caption=Reset held\r\n"
    "Pushstring=\"RST\"\r\n"
    "Repeatstring=RST!\r\n"
    "[btn3]\r\n"
    "Caption=Beyond the count\r\n";

TEST(RemoteFile, WindowsMadeFileLoadsUnchanged) {
    TempFolder folder;
    folder.Put("room.qzr", kWindowsPanel);
    const RemoteDefinition panel = ReadRemoteFile(" " + folder.File("room.qzr") + " ");
    EXPECT_EQ(panel.path, folder.File("room.qzr"));
    EXPECT_FALSE(panel.loaded);
    EXPECT_EQ(panel.caption, "Room 101 Projector");
    EXPECT_EQ(panel.netlinxDevice, "5001:1:0");
    EXPECT_EQ(panel.netlinxPassThrough, -1);
    EXPECT_EQ(panel.version, 1.0f);
    EXPECT_EQ(panel.style, "TV1");
    EXPECT_EQ(panel.buttonCount, 3);
    EXPECT_EQ(panel.buttonWidth, 56);
    EXPECT_EQ(panel.timerRate, 150);
    EXPECT_EQ(panel.lineTerminator, 2);
    EXPECT_EQ(panel.author, "J. Smith$20(AV)");
    EXPECT_EQ(panel.comments, "Lift first\r\n\r\nthen power");
    EXPECT_EQ(panel.height, 400);
    EXPECT_EQ(panel.width, 360);

    const RemoteButton& power = panel.buttons[0];
    EXPECT_EQ(power.caption, "Power");
    EXPECT_EQ(power.pushString, "PWR$20ON$0D");
    EXPECT_EQ(power.toggle, -1);
    EXPECT_EQ(power.altCaption, "Power Off");
    EXPECT_EQ(power.releaseString, "PWR OFF$0D");
    EXPECT_EQ(panel.buttons[1].repeatString, "VOL+");
    const RemoteButton& reset = panel.buttons[2];
    EXPECT_EQ(reset.hold, 1);
    EXPECT_EQ(reset.holdTime, 5);
    EXPECT_EQ(reset.pushString, "RST");  // one pair of quotes is the file's, not the text's
    // ButtonCount is 3: the fourth section is not read.
    EXPECT_EQ(panel.buttons[3].caption, "");
}

TEST(RemoteFile, MissingKeysTakeTheirDefaults) {
    TempFolder folder;
    // No file at all: an empty panel called "New Remote".
    const RemoteDefinition none = ReadRemoteFile(folder.File("missing.qzr"));
    EXPECT_EQ(none.caption, "New Remote");
    EXPECT_EQ(none.comments, "No Comment...");
    EXPECT_EQ(none.netlinxPassThrough, -1);
    EXPECT_EQ(none.buttonCount, 50);
    EXPECT_EQ(none.timerRate, 200);
    EXPECT_EQ(none.height, 375);
    EXPECT_EQ(none.width, 355);
    for (const RemoteButton& button : none.buttons)
        EXPECT_EQ(button.caption, "");

    // Without ButtonCount 50 sections are read: record 50 stays empty. The single-key comment
    // is read when there is no CommentCount.
    std::string text = "[main]\r\nComment=Old style\r\n";
    for (int i = 0; i <= 50; ++i)
        text += "[btn" + std::to_string(i) + "]\r\nCaption=B" + std::to_string(i) + "\r\n";
    folder.Put("fifty.qzr", text);
    const RemoteDefinition fifty = ReadRemoteFile(folder.File("fifty.qzr"));
    EXPECT_EQ(fifty.comments, "Old style");
    EXPECT_EQ(fifty.buttons[49].caption, "B49");
    EXPECT_EQ(fifty.buttons[50].caption, "");

    // Values longer than their field lose their end (and the blank the cut leaves).
    folder.Put("long.qzr", "[btn0]\r\nCaption=" + std::string(24, 'c') +
                               " tail\r\nPushString=" + std::string(600, 'p') + "\r\n");
    const RemoteDefinition longer = ReadRemoteFile(folder.File("long.qzr"));
    EXPECT_EQ(longer.buttons[0].caption, std::string(24, 'c'));
    EXPECT_EQ(longer.buttons[0].pushString, std::string(255, 'p'));
}

RemoteDefinition SamplePanel() {
    RemoteDefinition panel;
    panel.caption = "Board room";
    panel.author = "A. N. Other";
    panel.comments = "Line one\r\n  indented\r\n\r\nlast";
    panel.netlinxDevice = "10001:1:0";
    panel.netlinxPassThrough = 0;
    panel.buttonWidth = 60;
    panel.timerRate = 250;
    RemoteButton& b = panel.buttons[7];
    b.caption = "Input 2";
    b.altCaption = "Input 1";
    b.pushString = "\"quoted\"";
    b.repeatString = "a=b;c $$ $0D";
    b.releaseString = "\tTAB";
    b.toggle = 1;
    b.hold = -1;
    b.holdTime = 12;
    panel.buttons[50].caption = "Record fifty";
    return panel;
}

TEST(RemoteFile, WrittenLayoutIsExact) {
    const std::string text = RemoteFileText(SamplePanel(), LineTerminator::Cr, 380, 370);
    EXPECT_EQ(text.substr(0, text.find("[btn0]")),
              "[main]\r\nAuthor=A. N. Other\r\nVersion=1.0\r\nCaption=Board room\r\n"
              "NetlinxPassThrough=0\r\nNetlinxDevice=10001:1:0\r\nStyle=TV1\r\n"
              "ButtonCount=51\r\nButtonWidth=60\r\nTimerRate=250\r\nLineTerminator=2\r\n"
              "Height=380\r\nWidth=370\r\n");
    const std::size_t seven = text.find("[btn7]\r\n");
    ASSERT_NE(seven, std::string::npos);
    EXPECT_EQ(text.substr(seven, text.find("[btn8]") - seven),
              "[btn7]\r\nCaption=Input 2\r\nAltCaption=Input 1\r\nToggleButton=1\r\n"
              "HoldButton=-1\r\nHoldTime=12\r\nPushString=\"\"quoted\"\"\r\n"
              "RepeatString=a=b;c $$ $0D\r\nReleaseString=\"\tTAB\"\r\n");
    EXPECT_NE(text.find("[btn50]\r\nCaption=Record fifty\r\n"), std::string::npos);
    EXPECT_EQ(text.find("[btn51]"), std::string::npos);
    // Every line ends in CR LF.
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        ASSERT_EQ(text[at - 1], '\r') << at;
}

TEST(RemoteFile, SavedPanelLoadsBackTheSame) {
    TempFolder folder;
    const std::string path = folder.File("board.qzr");
    RemoteDefinition panel = SamplePanel();
    std::string error;
    ASSERT_TRUE(WriteRemoteFile(path, panel, LineTerminator::CrLf, 380, 370, &error)) << error;
    // The comments follow the main keys, before the first button.
    const std::string text = folder.Read("board.qzr");
    EXPECT_NE(text.find("Width=370\r\nComment1=Line$20one\r\nComment2=$20$20indented\r\n"
                        "Comment3=$Empty\r\nComment4=last\r\nCommentCount=4\r\n[btn0]\r\n"),
              std::string::npos)
        << text;

    const RemoteDefinition back = ReadRemoteFile(path);
    EXPECT_EQ(back.caption, panel.caption);
    EXPECT_EQ(back.author, panel.author);
    EXPECT_EQ(back.comments, panel.comments);
    EXPECT_EQ(back.netlinxDevice, panel.netlinxDevice);
    EXPECT_EQ(back.netlinxPassThrough, 0);
    EXPECT_EQ(back.buttonCount, 51);
    EXPECT_EQ(back.lineTerminator, 1);
    EXPECT_EQ(back.height, 380);
    EXPECT_EQ(back.width, 370);
    for (std::size_t i = 0; i < panel.buttons.size(); ++i) {
        const RemoteButton& a = panel.buttons[i];
        const RemoteButton& b = back.buttons[i];
        EXPECT_EQ(std::tie(a.caption, a.altCaption, a.pushString, a.repeatString, a.releaseString,
                           a.toggle, a.hold, a.holdTime),
                  std::tie(b.caption, b.altCaption, b.pushString, b.repeatString, b.releaseString,
                           b.toggle, b.hold, b.holdTime))
            << "button " << i;
    }

    // A folder that does not exist: nothing is written, and the reason is given.
    EXPECT_FALSE(WriteRemoteFile(folder.File("no/such/folder.qzr"), panel, LineTerminator::None, 1,
                                 1, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists(folder.File("no")));
}

// Damaged and hostile files load with defaults where they cannot be read, within the fields'
// capacities, and quickly.
TEST(RemoteFile, DamagedFilesLoadWithinBounds) {
    TempFolder folder;
    std::string manySections;
    for (int i = 0; i < 10000; ++i)
        manySections +=
            "[btn" + std::to_string(i % 60) + "x" + std::to_string(i) + "]\r\nCaption=c\r\n";
    manySections += "[btn0]\r\nCaption=real\r\n";
    std::string garbage;
    for (int i = 0; i < 70000; ++i)
        garbage += static_cast<char>((i * 7919) % 256);
    const struct {
        const char* name;
        std::string text;
        const char* firstCaption;
        int buttonCount;
    } cases[] = {
        {"truncated", "[main]\r\nCaption=Half\r\nButtonCount=2\r\n[btn0]\r\nCapt", "", 2},
        {"ten thousand sections", manySections, "real", 50},
        {"megabyte value", "[btn0]\r\nCaption=" + std::string(1 << 20, 'v') + "\r\n",
         "vvvvvvvvvvvvvvvvvvvvvvvvv", 50},
        {"negative count", "[main]\r\nButtonCount=-5\r\n[btn0]\r\nCaption=x\r\n", "", -5},
        {"huge count", "[main]\r\nButtonCount=100000\r\n[btn0]\r\nCaption=x\r\n", "x", 100000},
        {"binary garbage", garbage, "", 50},
    };
    for (const auto& c : cases) {
        folder.Put("damaged.qzr", c.text);
        const RemoteDefinition panel = ReadRemoteFile(folder.File("damaged.qzr"));
        EXPECT_EQ(panel.buttons[0].caption, c.firstCaption) << c.name;
        EXPECT_EQ(panel.buttonCount, c.buttonCount) << c.name;
        EXPECT_LE(panel.caption.size(), kRemoteCaptionCapacity) << c.name;
        for (const RemoteButton& button : panel.buttons) {
            EXPECT_LE(button.caption.size(), kButtonCaptionCapacity) << c.name;
            EXPECT_LE(button.pushString.size(), kButtonStringCapacity) << c.name;
        }
    }
}

}  // namespace
}  // namespace ostrel
