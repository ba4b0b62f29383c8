// The main window itself: menu, status bar, keys, edit commands, paste rule, and the output
// pane's byte-exact text, colours and size rule.
#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include "terminal/app/startup_text.h"
#include "terminal/core/display.h"
#include "window_fixture.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;

TEST_F(WindowTest, WindowMenusAndStatusBarAreLaidOut) {
    EXPECT_EQ(window_.windowTitle(), "Ostrel");
    EXPECT_EQ(window_.SendButton().text(), "Sen&d");
    const QList<QAction*> menus = window_.menuBar()->actions();
    QStringList titles;
    for (QAction* menu : menus)
        titles << menu->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&Mode", "&Session", "&View", "&Line",
                                   "&Remote", "&Tools", "&Help"}));
    // Every table entry is in its menu, in order, with its shortcut and separators.
    int menuIndex = 0;
    for (const MenuDefinition& definition : MainMenus()) {
        QList<QAction*> items = menus[menuIndex++]->menu()->actions();
        int i = 0;
        for (const MenuItem& item : definition.items) {
            ASSERT_LT(i, items.size());
            QAction* action = items[i++];
            EXPECT_EQ(action, window_.Action(item.id));
            EXPECT_EQ(action->text().toStdString(), MenuLabel(item.text, false));
            EXPECT_EQ(action->shortcut().toString().toStdString(), MenuAccelerator(item.text));
            if (item.separatorAfter) {
                ASSERT_LT(i, items.size());
                EXPECT_TRUE(items[i++]->isSeparator()) << item.text;
            }
        }
        EXPECT_EQ(i, items.size()) << definition.title;
    }
    const int widths[] = {115, 50, 55, 55, 80};
    const char* tips[] = {"Port Configuration", "Control System Mode", "View as Text or Hex",
                          "Line Terminator", "Local and/or Remote Echo", "Caps Lock"};
    for (int part = 0; part < 6; ++part) {
        EXPECT_EQ(window_.StatusPart(part)->toolTip(), tips[part]);
        if (part > 0) {
            EXPECT_EQ(window_.StatusPart(part)->width(), widths[part - 1]);
        }
    }
    window_.resize(900, 400);
    Pump(20);
    EXPECT_GT(window_.StatusPart(0)->width(), 115 + 50 + 55 + 55 + 80);  // part 0 takes the rest
    EXPECT_TRUE(window_.TimerActive(TimerId::CapsLock));
    EXPECT_TRUE(window_.TimerActive(TimerId::Poll));
    EXPECT_FALSE(window_.TimerActive(TimerId::SerialRead));
}

TEST_F(WindowTest, StartUpLinesAreColouredStatusLines) {
    const std::string version = "Ostrel v" + std::string(ProgramVersion());
    EXPECT_EQ(PaneText().rfind("\r\n" + version + "\r\n", 0), 0u);
    EXPECT_EQ(ColourOf(version), colours_[ColourSlot::Status]);
    EXPECT_TRUE(PaneEndsWith("\r\nNo Default.ini found..."));
    EXPECT_EQ(Status(0), "No Active Session...");
    EXPECT_EQ(Status(3), "CRLF");
}

TEST_F(WindowTest, AcceleratorsReachTheMenuFromTheInputBox) {
    Key(Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(Status(2), "Hex");
    Key(Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(Status(3), "CR");
    Key(Qt::Key_M, Qt::ControlModifier);
    EXPECT_EQ(Status(1), "AMX(tm)");
    Key(Qt::Key_E, Qt::ControlModifier);
    Key(Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(Status(4), "LE RE");
    EXPECT_TRUE(window_.Action(CommandId::EchoRemote)->isChecked());
    EXPECT_TRUE(window_.Action(CommandId::ViewHex)->isChecked());
}

TEST_F(WindowTest, ClearEmptiesOnlyTheFocusedControl) {
    QTest::keyClicks(&window_.InputView(), "some text");
    const std::string pane = PaneText();
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(window_.InputView().text(), "");
    EXPECT_EQ(PaneText(), pane);

    window_.OutputPaneView().setFocus();
    Key(Qt::Key_A, Qt::ControlModifier);
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), pane);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(PaneText(), "");
}

TEST_F(WindowTest, PastedLinesBecomeOneDollarLine) {
    QGuiApplication::clipboard()->setText("POWER ON\r\nINPUT 3\rMUTE\nEND");
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(window_.InputView().text(), "POWER ON$0D$0AINPUT 3$0D$0AMUTE$0D$0AEND");
    window_.InputView().clear();
    controller_.Dispatch(CommandId::Paste);  // the Edit menu does the same
    EXPECT_EQ(window_.InputView().text(), "POWER ON$0D$0AINPUT 3$0D$0AMUTE$0D$0AEND");
}

TEST_F(WindowTest, UpAndDownBrowseTheLinesSent) {
    Type("first line");
    Type("second line");
    Key(Qt::Key_Up);
    EXPECT_EQ(window_.InputView().text(), "second line");
    Key(Qt::Key_Up);
    Key(Qt::Key_Up);
    EXPECT_EQ(window_.InputView().text(), "first line");
    EXPECT_EQ(window_.InputView().cursorPosition(), 0);
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    EXPECT_EQ(window_.InputView().text(), "");
}

TEST_F(WindowTest, PaneKeepsBytesExactAndPaintsOncePerShowText) {
    OutputView& pane = window_.OutputPaneView();
    Display& display = controller_.GetDisplay();
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::size_t before = pane.RepaintRequests();
    display.ShowText(all, DisplayCategory::Informational);
    EXPECT_EQ(pane.RepaintRequests(), before + 1);
    EXPECT_TRUE(PaneEndsWith("\r\n" + all));  // 8-bit text, one cell per byte
    EXPECT_EQ(ColourOf(all), colours_[ColourSlot::Informational]);

    display.ShowText(std::string("A\0B\x7f\xc8\r\nC", 8), DisplayCategory::Incoming);
    EXPECT_TRUE(PaneEndsWith("\r\nAB\r\nC\r\n\r\n" + std::string(kNonPrintableNotice)));
    EXPECT_EQ(ColourOf("AB\r\nC"), colours_[ColourSlot::Incoming]);
    EXPECT_EQ(pane.RepaintRequests(), before + 2);  // the notice is part of the same call
}

TEST_F(WindowTest, PaneIsCutBackToItsSizeRule) {
    Display& display = controller_.GetDisplay();
    const std::string line = std::string(98, 'x') + "\r\n";
    for (int i = 0; i < 9000; ++i)
        display.ShowText(line, DisplayCategory::Incoming);
    const OutputView& pane = window_.OutputPaneView();
    EXPECT_LE(pane.Length(), kPaneLimit);
    EXPECT_GE(pane.Length(), kPaneKeep);
    EXPECT_TRUE(PaneEndsWith(line));
    // The view follows the caret: the last line is on screen.
    const std::size_t lastRow = pane.Document().RowOf(pane.Length());
    EXPECT_GE(lastRow, pane.TopRow());
    EXPECT_LT(lastRow, pane.TopRow() + pane.VisibleRows() + 1);
}

TEST_F(WindowTest, SendingOnATcpSessionDeliversExactBytesAndShowsTheReply) {
    QTcpServer device;
    ASSERT_TRUE(device.listen(QHostAddress::LocalHost, 0));
    QTcpSocket* peer = nullptr;
    QByteArray got;
    QObject::connect(&device, &QTcpServer::newConnection, [&] {
        peer = device.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, [&] { got += peer->readAll(); });
    });
    DialogAnswers("", std::to_string(device.serverPort()));
    Key(Qt::Key_F5);
    ASSERT_TRUE(WaitUntil([&] { return Status(0).starts_with("TCP Client Connected at: 127.0.0.1:"); }));
    EXPECT_NE(PaneText().find("\r\nAttempting TCP Client Connection...\r\nOpening socket: "
                              "127.0.0.1\r\nWindows is attempting to connect...\r\n"
                              "TCP Client Connected..."),
              std::string::npos);

    Key(Qt::Key_E, Qt::ControlModifier);
    Type("PWR ON$0D");
    ASSERT_TRUE(WaitUntil([&] { return got == "PWR ON\r\r\n"; }));
    EXPECT_EQ(window_.InputView().text(), "");
    EXPECT_TRUE(PaneEndsWith("\r\n\r\nPWR ON$0D$0D$0A"));
    EXPECT_EQ(ColourOf("PWR ON$0D$0D$0A"), colours_[ColourSlot::LocalEcho]);

    peer->write("PWR=ON\r\n");
    ASSERT_TRUE(WaitUntil([&] { return PaneEndsWith("PWR=ON\r\n"); }));
    EXPECT_EQ(ColourOf("PWR=ON"), colours_[ColourSlot::Incoming]);

    // Hex view, AMX echo, remote echo.
    Key(Qt::Key_D, Qt::ControlModifier);
    controller_.Dispatch(CommandId::ModeAmx);
    Key(Qt::Key_W, Qt::ControlModifier);
    got.clear();
    Type("VOL$3D5");
    ASSERT_TRUE(WaitUntil([&] { return got == "VOL=5\r\n"; }));
    EXPECT_TRUE(PaneEndsWith("\r\n\" 'VOL=5', $0D, $0A \""));
    got.clear();
    peer->write("Hello, w9");
    ASSERT_TRUE(WaitUntil([&] { return got == "Hello, w9"; }));  // echoed back by the terminal
    EXPECT_TRUE(PaneEndsWith("$48 $65 $6C $6C $6F $2C $20 $77   >>Hello, w\r\n$39" +
                             std::string(31, ' ') + ">>9\r\n"));

    // Close, restart.
    Key(Qt::Key_F12);
    EXPECT_EQ(Status(0), "No Active Session...");
    ASSERT_TRUE(WaitUntil([&] { return PaneText().ends_with("TCP Client Connection Closed..."); }));
    Key(Qt::Key_R, Qt::ControlModifier);
    ASSERT_TRUE(WaitUntil([&] { return Status(0).starts_with("TCP Client Connected at: "); }));
}

TEST_F(WindowTest, SendingWithoutASessionOrTooLongShowsWhy) {
    QTcpServer device;
    ASSERT_TRUE(device.listen(QHostAddress::LocalHost, 0));
    DialogAnswers("127.0.0.1", std::to_string(device.serverPort()));
    controller_.Dispatch(CommandId::SessionUdpClient);
    Type(QString(1023, QLatin1Char('x')));  // 1025 bytes with CR LF
    EXPECT_TRUE(PaneEndsWith("\r\nMessage cannot be longer than 1024 characters..."));
    controller_.Dispatch(CommandId::SessionClose);
    Type("hello");
    EXPECT_TRUE(PaneEndsWith("\r\nUDP Client: Cannot send - port not open..."));
}

}  // namespace
}  // namespace ostrel
