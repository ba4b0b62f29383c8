// ostrel: the terminal program. Arguments: a session file or remote panel file, and the window
// placement words.
#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "terminal/session/qt_serial_device.h"
#include "terminal/session/tessan_library.h"
#include "terminal/session/tessnet.h"
#include "terminal/shell/app_controller.h"
#include "terminal/shell/main_window.h"

namespace {

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

}  // namespace

int main(int argc, char** argv) {
    // Without a display Qt would abort with a message about plugins; say what is missing instead.
    if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("QT_QPA_PLATFORM")) {
        std::fputs(
            "ostrel: no display found (DISPLAY and WAYLAND_DISPLAY are not set).\n"
            "Start it from a desktop session, or with QT_QPA_PLATFORM=offscreen for a window\n"
            "nobody sees.\n",
            stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ostrel"));
    const std::vector<std::string> arguments(argv + 1, argv + argc);

    ostrel::Tessnet net;
    ostrel::QtSerialDevice serial;
    ostrel::TessanLibrary ssh;
    ostrel::MainWindow window;
    ostrel::AppController controller(window, net, serial);
    window.Attach(controller);
    controller.AttachSsh(ssh, window.PlatformWindow());
    controller.Start(arguments);
    window.show();
    return QApplication::exec();
}
