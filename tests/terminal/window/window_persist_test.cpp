// Session files, polling and the window placement through the real main window: a session file
// opened with the File menu, poll strings typed into the real "Polling" dialog reaching a UDP
// device, and the placement file read at show and written when moves settle and at close.
#include <QApplication>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "terminal/dialogs/polling_dialog.h"
#include "window_fixture.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(WindowTest, OpenASessionFileThenPollADeviceThroughTheDialog) {
    QUdpSocket device;
    ASSERT_TRUE(device.bind(QHostAddress::LocalHost, 0));
    const std::filesystem::path file = home_ / "rack.ini";
    std::ofstream(file, std::ios::binary)
        << "[Connection Settings]\r\nType=4\r\nURL=127.0.0.1\r\nTCP UDP Port=" << device.localPort()
        << "\r\n[Send Settings]\r\nLine Terminator=2\r\n";
    window_.SetFileDialogHook([&](const FileChoice& choice) -> std::optional<std::string> {
        EXPECT_EQ(choice.title, "Open Session...");
        return file.string();
    });
    window_.Action(CommandId::OpenSession)->trigger();
    EXPECT_EQ(Status(0), "UDP Client Ready - 127.0.0.1:" + std::to_string(device.localPort()));
    EXPECT_EQ(Status(3), "CR");

    // The real dialog: two lines and a short delay typed in, then Ok.
    QTimer::singleShot(0, [] {
        QWidget* modal = nullptr;
        WaitUntil([&] { return (modal = QApplication::activeModalWidget()) != nullptr; }, 3000);
        auto* dialog = dynamic_cast<PollingDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->TextBox().setPlainText(QStringLiteral("A\nB"));
        dialog->DelayBox().setText(QStringLiteral("20"));
        QTest::mouseClick(&dialog->OkButton(), Qt::LeftButton);
    });
    window_.Action(CommandId::Polling)->trigger();
    EXPECT_TRUE(window_.Action(CommandId::Polling)->isChecked());
    EXPECT_TRUE(window_.TimerActive(TimerId::Poll));

    QByteArrayList received;
    ASSERT_TRUE(WaitUntil([&] {
        while (device.hasPendingDatagrams())
            received << device.receiveDatagram().data();
        return received.size() >= 3;
    }));
    EXPECT_EQ(received.mid(0, 3), (QByteArrayList{"A\r", "B\r", "A\r"}));

    window_.Action(CommandId::Polling)->trigger();
    EXPECT_FALSE(window_.Action(CommandId::Polling)->isChecked());
    ASSERT_TRUE(WaitUntil([&] { return !window_.TimerActive(TimerId::Poll); }));
}

TEST_F(WindowTest, PlacementIsRecordedWhenMovesSettleAndAtClose) {
    const std::filesystem::path placement = home_ / "Ostrel.sp";
    ASSERT_TRUE(std::filesystem::exists(placement));  // recorded right after being shown
    window_.move(33, 44);
    window_.resize(500, 400);
    ASSERT_TRUE(WaitUntil([&] {
        return ReadFile(placement).find("Width=500\r\nHeight=400\r\n") != std::string::npos;
    }));
    EXPECT_NE(ReadFile(placement).find("Left=33\r\nTop=44\r\n"), std::string::npos);
    window_.resize(450, 350);
    window_.close();
    EXPECT_NE(ReadFile(placement).find("Width=450\r\nHeight=350\r\n"), std::string::npos);
}

TEST(WindowPlacement, TheFileAndTheWordsPlaceANewWindow) {
    EnsureGuiApplication();
    const std::filesystem::path home = std::filesystem::temp_directory_path() /
                                       ("ostrel-placement-" + std::to_string(::getpid()));
    std::filesystem::create_directories(home);
    setenv("OSTREL_HOME", home.c_str(), 1);
    std::ofstream(home / "Ostrel.sp", std::ios::binary)
        << "[Size_Position]\r\nLeft=70\r\nTop=60\r\nWidth=640\r\nHeight=420\r\nIsZoomed=0\r\n";
    {
        QtTessnet net;
        QtSerialDevice serial;
        MainWindow window;
        AppController controller(window, net, serial);
        window.Attach(controller);
        controller.Start({});
        window.show();
        EXPECT_EQ(window.Geometry(), (WindowRect{70, 60, 640, 420}));
        controller.Shutdown();
    }
    {
        QtTessnet net;
        QtSerialDevice serial;
        MainWindow window;
        AppController controller(window, net, serial);
        window.Attach(controller);
        controller.Start({"/left:10", "/top:20", "/width:150", "/height:50"});
        window.show();
        // 200 x 100 at the least; the window's own minimum (menu, panes, status bar) may be more.
        EXPECT_EQ(window.Geometry(), (WindowRect{10, 20, std::max(200, window.minimumWidth()),
                                                 std::max(100, window.minimumHeight())}));
        controller.Shutdown();
    }
    std::filesystem::remove_all(home);
}

}  // namespace
}  // namespace ostrel
