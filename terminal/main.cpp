// ostrel: the terminal program. Arguments: a session file or remote panel file, and the window
// placement words; options starting with "--" (--console, --help ...) choose the console front
// end, which also runs when there is no display.
#include <QApplication>

#include <cstdlib>
#include <string>
#include <vector>

#include "terminal/console/console_options.h"
#include "terminal/console/run_console.h"
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
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    // Without a display the window cannot start (Qt would abort over its platform plugin); the
    // same terminal runs in the text terminal instead. QT_QPA_PLATFORM names a platform
    // explicitly (offscreen, say) and keeps the window.
    const bool display = Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM");
    const bool console = ostrel::WantsConsole(arguments);
    if (console || !display) return ostrel::RunConsole(argc, argv, !console);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ostrel"));

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
