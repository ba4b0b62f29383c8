// Draws the main window in a typical session and saves it as a PNG:
//   ostrel_window_screenshot OUTPUT.png
// The window runs as in the program (real controller, real socket library) against a small
// device stand-in on loopback that answers "PWR ON" with "PWR=ON".
#include <QApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdio>
#include <cstdlib>

#include "terminal/app/app_controller.h"
#include "terminal/bindings/qt_serial_device.h"
#include "terminal/bindings/qt_tessnet.h"
#include "terminal/window/main_window.h"

namespace {

void Pump(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: ostrel_window_screenshot OUTPUT.png\n", stderr);
        return 2;
    }
    // A folder of its own: the user's default session and window placement stay out of the picture.
    if (std::getenv("OSTREL_HOME") == nullptr) setenv("OSTREL_HOME", "/tmp/ostrel-screenshot-home", 1);
    QApplication app(argc, argv);

    QTcpServer device;
    device.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&device, &QTcpServer::newConnection, [&device] {
        QTcpSocket* peer = device.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, [peer] {
            const QByteArray line = peer->readAll();
            if (line.startsWith("PWR ON")) peer->write("PWR=ON\r\nINPUT=HDMI1\r\n");
            if (line.startsWith("STATUS")) peer->write("\x02STATUS OK\x03\r\n");
        });
    });

    ostrel::QtTessnet net;
    ostrel::QtSerialDevice serial;
    ostrel::MainWindow window;
    ostrel::AppController controller(window, net, serial);
    window.Attach(controller);
    window.SetSessionDialogHook([&device](ostrel::SessionType, ostrel::SessionSettings& s) {
        s.host = "127.0.0.1";
        s.port = std::to_string(device.serverPort());
        s.inUse = true;
        return ostrel::DialogResult::Confirmed;
    });
    controller.Start({});
    window.show();
    controller.Dispatch(ostrel::CommandId::EchoLocal);
    controller.Dispatch(ostrel::CommandId::SessionTcpClient);
    Pump(300);
    window.InputView().setText(QStringLiteral("PWR ON$0D"));
    controller.OnSend();
    Pump(300);
    controller.Dispatch(ostrel::CommandId::ViewHex);
    window.InputView().setText(QStringLiteral("STATUS?"));
    controller.OnSend();
    Pump(300);
    controller.Dispatch(ostrel::CommandId::ModeAmx);
    window.InputView().setText(QStringLiteral("VOL 50"));
    Pump(100);

    const bool saved = window.grab().save(QString::fromLocal8Bit(argv[1]));
    controller.Shutdown();
    return saved ? 0 : 1;
}
