// Draws the main window with a remote panel beside it and the panel editor open, and saves the
// three as one PNG:
//   ostrel_remote_screenshot OUTPUT.png
// The program runs as it does for a user (real controller, real socket library) against a small
// NetLinx controller stand-in on loopback that acknowledges each send_string line.
#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "terminal/app/app_controller.h"
#include "terminal/bindings/qt_serial_device.h"
#include "terminal/bindings/qt_tessnet.h"
#include "terminal/core/user_folder.h"
#include "terminal/window/main_window.h"

namespace {

void Pump(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// A panel as an integrator would make it for a projector and a switcher.
constexpr const char kPanel[] =
    "[main]\r\nCaption=Board Room\r\nNetlinxDevice=5001:1:0\r\nNetlinxPassThrough=-1\r\n"
    "TimerRate=200\r\nAuthor=Commissioning\r\nCommentCount=1\r\nComment1=Projector$20and$20"
    "switcher\r\n"
    "[btn0]\r\nCaption=Power\r\nAltCaption=Power Off\r\nToggleButton=1\r\nPushString=PWR ON$0D\r\n"
    "ReleaseString=PWR OFF$0D\r\n"
    "[btn1]\r\nCaption=Mute\r\nAltCaption=Unmute\r\nToggleButton=1\r\nPushString=MUTE ON$0D\r\n"
    "ReleaseString=MUTE OFF$0D\r\n"
    "[btn2]\r\nCaption=Vol +\r\nPushString=VOL+$0D\r\nRepeatString=VOL+$0D\r\n"
    "[btn3]\r\nCaption=Vol -\r\nPushString=VOL-$0D\r\nRepeatString=VOL-$0D\r\n"
    "[btn4]\r\nCaption=Reset\r\nHoldButton=1\r\nHoldTime=20\r\nRepeatString=RESET$0D\r\n"
    "[btn5]\r\nCaption=HDMI 1\r\nPushString=IN1$0D\r\n"
    "[btn6]\r\nCaption=HDMI 2\r\nPushString=IN2$0D\r\n"
    "[btn7]\r\nCaption=VGA\r\nPushString=IN3$0D\r\n"
    "[btn8]\r\nCaption=Freeze\r\nPushString=FRZ$0D\r\n"
    "[btn10]\r\nCaption=Screen Up\r\nPushString=SCR UP$0D\r\n"
    "[btn11]\r\nCaption=Screen Dn\r\nPushString=SCR DN$0D\r\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: ostrel_remote_screenshot OUTPUT.png\n", stderr);
        return 2;
    }
    if (std::getenv("OSTREL_HOME") == nullptr)
        setenv("OSTREL_HOME", "/tmp/ostrel-screenshot-home", 1);
    QApplication app(argc, argv);

    QTcpServer controllerStandIn;
    controllerStandIn.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&controllerStandIn, &QTcpServer::newConnection, [&controllerStandIn] {
        QTcpSocket* peer = controllerStandIn.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, [peer] {
            if (peer->readAll().startsWith("send_string")) peer->write("OK\r\n");
        });
    });

    std::filesystem::create_directories(ostrel::UserFolder());
    const std::string panel = (ostrel::UserFolder() / "Board Room.qzr").string();
    std::ofstream(panel, std::ios::binary) << kPanel;

    ostrel::QtTessnet net;
    ostrel::QtSerialDevice serial;
    ostrel::MainWindow window;
    ostrel::AppController controller(window, net, serial);
    window.Attach(controller);
    window.SetSessionDialogHook(
        [&controllerStandIn](ostrel::SessionType, ostrel::SessionSettings& s) {
            s.host = "127.0.0.1";
            s.port = std::to_string(controllerStandIn.serverPort());
            s.inUse = true;
            return ostrel::DialogResult::Confirmed;
        });
    controller.Start({});
    // Room on the left of the main window for the panel.
    window.move(420, 40);
    window.show();
    controller.Dispatch(ostrel::CommandId::EchoLocal);
    controller.Dispatch(ostrel::CommandId::SessionTcpClient);
    Pump(300);
    controller.OpenRemoteFile(panel);
    Pump(100);
    for (int button : {0, 6}) {
        controller.OnPanelPress(button);
        controller.OnPanelRelease(button);
        Pump(200);
    }
    controller.OnPanelRightPress(2);
    Pump(100);

    QWidget* panelWindow = window.RemotePanel();
    QWidget* editor = window.RemoteEditor();
    if (panelWindow == nullptr || editor == nullptr) {
        std::fputs("the panel or its editor did not open\n", stderr);
        return 1;
    }
    editor->move(window.frameGeometry().left(), window.frameGeometry().bottom() + 12);
    Pump(100);

    // The three windows where they stand on the screen, on a plain desktop.
    QRect area;
    for (QWidget* shown : {static_cast<QWidget*>(&window), panelWindow, editor})
        area |= shown->frameGeometry();
    area.adjust(-12, -12, 12, 12);
    QImage image(area.size(), QImage::Format_RGB32);
    image.fill(QColor(58, 110, 165));
    QPainter painter(&image);
    for (QWidget* shown : {static_cast<QWidget*>(&window), panelWindow, editor})
        painter.drawPixmap(shown->frameGeometry().topLeft() - area.topLeft(), shown->grab());
    painter.end();

    const bool saved = image.save(QString::fromLocal8Bit(argv[1]));
    controller.Shutdown();
    return saved ? 0 : 1;
}
