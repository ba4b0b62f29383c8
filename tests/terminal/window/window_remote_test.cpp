// The remote panel window and its editor on the offscreen platform: real buttons pressed and
// released with the mouse, the strings they send arriving at a device on loopback, and the
// editor driven through its own boxes and buttons.
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUdpSocket>

#include <fstream>

#include "terminal/dialogs/panel_button.h"
#include "terminal/dialogs/remote_editor_dialog.h"
#include "window_fixture.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;

// Windows layout: CR LF, blanks around "=", names in other cases.
constexpr std::string_view kPanel =
    "[Main]\r\nCaption = Rack 4 \r\nNETLINXDEVICE=5001:1:0\r\nNetlinxPassThrough=-1\r\n"
    "[btn0]\r\ncaption=Power\r\npushstring=PWR$0D\r\n"
    "[btn1]\r\nCaption=Input 1\r\nAltCaption=Input 2\r\nToggleButton=1\r\nPushString=IN2\r\n"
    "ReleaseString=IN1\r\n"
    "[btn2]\r\nCaption=Reset\r\nHoldButton=1\r\nHoldTime=2\r\nPushString=P\r\nRepeatString=R\r\n"
    "ReleaseString=X\r\n";

class PanelTest : public WindowTest {
protected:
    PanelTest() {
        EXPECT_TRUE(device_.bind(QHostAddress::LocalHost, 0));
        DialogAnswers("127.0.0.1", std::to_string(device_.localPort()));
        Key(Qt::Key_F7);
        const std::string path = (home_ / "rack.qzr").string();
        std::ofstream(path, std::ios::binary) << kPanel;
        EXPECT_TRUE(controller_.OpenRemoteFile(path));
        Pump(20);
    }
    RemotePanelWindow& Panel() { return *window_.RemotePanel(); }
    PanelButton& PanelKey(int k) { return Panel().Button(k); }
    void Click(QWidget& button, Qt::MouseButton which = Qt::LeftButton) {
        QTest::mouseClick(&button, which);
    }
    // The next datagram the device receives.
    std::string Received() {
        if (!WaitUntil([&] { return device_.hasPendingDatagrams(); })) return "(nothing)";
        return device_.receiveDatagram().data().toStdString();
    }
    template <typename T>
    T* InEditor(const char* name) {
        return window_.RemoteEditor()->findChild<T*>(QString::fromLatin1(name));
    }

    QUdpSocket device_;
};

TEST_F(PanelTest, ButtonsSendWhenPressedHeldAndReleased) {
    ASSERT_NE(window_.RemotePanel(), nullptr);
    EXPECT_EQ(Panel().objectName(), "FORM_OSTREL_FRMREMOTE_CLASS");
    EXPECT_EQ(Panel().windowTitle(), "Rack 4");
    EXPECT_TRUE(Panel().isVisible());
    EXPECT_EQ(Panel().size(), QSize(355, 375));
    // The main window, centred on the screen, leaves no room on its left: the panel is on its
    // right, level with its top.
    EXPECT_EQ(Panel().frameGeometry().topLeft(), window_.frameGeometry().topRight() + QPoint(1, 0));
    // Ten rows of five; empty buttons are hidden.
    EXPECT_EQ(PanelKey(0).geometry(), QRect(16, 8, 56, 24));
    EXPECT_EQ(PanelKey(7).geometry(), QRect(16 + 2 * 64, 8 + 32, 56, 24));
    EXPECT_TRUE(PanelKey(0).isVisible());
    EXPECT_FALSE(PanelKey(3).isVisible());
    EXPECT_EQ(PanelKey(0).text(), "Power");
    EXPECT_EQ(Status(3), "CRLF");  // pass-through wants one command per line

    Click(PanelKey(0));
    EXPECT_EQ(Received(), "send_string 5001:1:0, \" 'PWR', $0D \"\r\n");

    // A toggle sends on each press and shows its other caption.
    EXPECT_TRUE(PanelKey(1).isCheckable());
    Click(PanelKey(1));
    EXPECT_EQ(Received(), "send_string 5001:1:0, \" 'IN2' \"\r\n");
    EXPECT_EQ(PanelKey(1).text(), "Input 2");
    EXPECT_TRUE(PanelKey(1).isChecked());
    Click(PanelKey(1));
    EXPECT_EQ(Received(), "send_string 5001:1:0, \" 'IN1' \"\r\n");
    EXPECT_EQ(PanelKey(1).text(), "Input 1");
    EXPECT_FALSE(PanelKey(1).isChecked());

    // A hold button held past its 0.2 s sends its repeat string once, then the release string.
    QTest::mousePress(&PanelKey(2), Qt::LeftButton);
    EXPECT_EQ(Received(), "send_string 5001:1:0, \" 'P' \"\r\n");
    EXPECT_EQ(Received(), "send_string 5001:1:0, \" 'R' \"\r\n");
    EXPECT_TRUE(PanelKey(2).isDown());
    QTest::mouseRelease(&PanelKey(2), Qt::LeftButton);
    EXPECT_EQ(Received(), "send_string 5001:1:0, \" 'X' \"\r\n");
    EXPECT_FALSE(device_.hasPendingDatagrams());

    // Closing the window closes the panel: another can be opened.
    Panel().close();
    EXPECT_TRUE(PaneEndsWith("\r\nClosing a Remote..."));
    EXPECT_TRUE(WaitUntil([&] { return window_.RemotePanel() == nullptr; }));
    EXPECT_FALSE(controller_.Remote().loaded);
}

TEST_F(PanelTest, EditorEditsThePanelAsTyped) {
    Click(PanelKey(1), Qt::RightButton);
    ASSERT_NE(window_.RemoteEditor(), nullptr);
    RemoteEditorDialog& editor = *window_.RemoteEditor();
    EXPECT_EQ(editor.windowTitle(), "Remote Control Configificator");
    EXPECT_FALSE(editor.isModal());
    EXPECT_EQ(InEditor<QLabel>("buttonNumber")->text(), "Button 2");
    EXPECT_EQ(InEditor<QLineEdit>("caption")->text(), "Input 1");
    EXPECT_EQ(InEditor<QLabel>("releaseLabel")->text(), "Alt String");
    EXPECT_FALSE(InEditor<QLineEdit>("repeatString")->isEnabled());
    EXPECT_TRUE(PanelKey(3).isVisible());  // empty buttons show while editing

    // A right click on another button while editing only moves the selection.
    Click(PanelKey(0), Qt::RightButton);
    EXPECT_EQ(window_.RemoteEditor(), &editor);
    EXPECT_EQ(InEditor<QLabel>("buttonNumber")->text(), "Button 1");
    QLineEdit* caption = InEditor<QLineEdit>("caption");
    caption->selectAll();
    QTest::keyClicks(caption, "Mains");
    EXPECT_EQ(controller_.Remote().buttons[0].caption, "Mains");
    EXPECT_EQ(PanelKey(0).text(), "Mains");
    EXPECT_EQ(editor.Preview().text(), "Mains");

    // The preview button sends the selected button's strings with the panel's rules.
    Click(editor.Preview());
    EXPECT_EQ(Received(), "send_string 5001:1:0, \" 'PWR', $0D \"\r\n");

    // Insert on button 1 moves the buttons up and leaves an empty one.
    Click(*InEditor<QPushButton>("insert"));
    EXPECT_EQ(controller_.Remote().buttons[1].caption, "Mains");
    EXPECT_EQ(PanelKey(0).text(), "");
    EXPECT_EQ(PanelKey(2).text(), "Input 1");
    EXPECT_EQ(InEditor<QLineEdit>("holdTime")->text(), "1000");

    // Pass-through off: no wrapping, no terminator, and the device box is disabled.
    Click(*InEditor<QPushButton>(">"));
    InEditor<QCheckBox>("passThrough")->click();
    EXPECT_EQ(Status(3), "None");
    EXPECT_FALSE(InEditor<QLineEdit>("device")->isEnabled());
    Click(PanelKey(1));
    EXPECT_EQ(Received(), "PWR\r");

    Click(*InEditor<QPushButton>("ok"));
    EXPECT_TRUE(editor.isHidden());
    // What the program's event loop does once the click is handled.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window_.RemoteEditor(), nullptr);
    EXPECT_FALSE(controller_.RemoteEditorOpen());
    EXPECT_FALSE(PanelKey(0).isVisible());
}

TEST_F(PanelTest, MetaDataDialogStoresAuthorAndComment) {
    WhenDialogOpens([](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Remote Meta Data");
        QTest::keyClicks(dialog->findChild<QLineEdit*>("author"), "  Pat  ");
        auto* comment = dialog->findChild<QPlainTextEdit*>("comment");
        comment->clear();
        QTest::keyClicks(comment, "one");
        QTest::keyClick(comment, Qt::Key_Return);
        QTest::keyClicks(comment, "two ");
        dialog->close();
    });
    controller_.Dispatch(CommandId::RemoteMetaData);
    EXPECT_EQ(controller_.Remote().author, "Pat");
    EXPECT_EQ(controller_.Remote().comments, "one\r\ntwo");
}

}  // namespace
}  // namespace ostrel
