// ostrel: the terminal program. Arguments: a session file or remote panel file, and the window
// placement words; options starting with "--" (--console, --help ...) choose the console front
// end, which also runs when there is no display. Here the front end is chosen and given the
// bindings the sessions stand on.
#include <QApplication>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "terminal/app/app_controller.h"
#include "terminal/bindings/qt_bindings.h"
#include "terminal/bindings/qt_program_runner.h"
#include "terminal/console/console_options.h"
#include "terminal/console/run_console.h"
#include "terminal/window/main_window.h"

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
    if (console || !display)
        return ostrel::RunConsole(
            argc, argv, !console, [] { return std::make_unique<ostrel::QtBindings>(); },
            [] { return std::make_unique<ostrel::QtProgramRunner>(); });

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ostrel"));

    ostrel::QtBindings bindings;
    ostrel::QtProgramRunner programs;
    ostrel::MainWindow window;
    ostrel::AppController controller(window, bindings.Net(), bindings.Serial());
    window.Attach(controller);
    controller.AttachTools(programs);
    controller.AttachSsh(bindings.Ssh(), &bindings.Events());
    controller.Start(arguments);
    window.show();
    return QApplication::exec();
}
