#include "terminal/console/run_console.h"

#include <unistd.h>
#include <QCoreApplication>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "terminal/app/app_controller.h"
#include "terminal/app/startup_text.h"
#include "terminal/console/console_app.h"
#include "terminal/console/console_options.h"
#include "terminal/console/terminal_mode.h"
#include "terminal/persist/placement.h"

namespace ostrel {
namespace {

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// Start-up finds a session file only in an argument naming a .ini or .qzr file; say so rather
// than open the default session without a word.
void WarnAboutIgnoredFile(const std::vector<std::string>& arguments, ConsoleScreen& screen) {
    std::vector<std::string> words;
    for (const std::string& argument : arguments)
        if (!IsPlacementWord(argument)) words.push_back(argument);
    if (!words.empty() && !SessionFileArgument(words))
        screen.WriteMessage(
            "ostrel: a session file ends in .ini (a remote panel file in .qzr); "
            "\"" +
            words.front() + "\" is not opened.");
}

}  // namespace

int RunConsole(int argc, char** argv, bool announceHeadless, const MakeBindings& makeBindings,
               const MakeRunner& makeRunner) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string error;
    const std::optional<ConsoleOptions> options = ParseConsoleOptions(arguments, &error);
    if (!options) {
        std::cerr << "ostrel: " << error << "\nostrel --help lists the options.\n";
        return kExitUsage;
    }
    if (options->help) {
        std::cout << ConsoleUsage();
        return kExitOk;
    }
    std::optional<Expectations> expectations = Expectations::Compile(options->expect, &error);
    if (!expectations) {
        std::cerr << "ostrel: " << error << '\n';
        return kExitUsage;
    }
    // A reader that goes away (a closed pipe) is noticed as a failed write, not a signal.
    std::signal(SIGPIPE, SIG_IGN);

    ConsoleApp::Input input;
    input.fd = STDIN_FILENO;
    input.scripted = ::isatty(STDIN_FILENO) != 1;
    ConsoleScreen::Setup setup;
    setup.outTerminal = ::isatty(STDOUT_FILENO) == 1;
    setup.colour = setup.outTerminal && !options->noColour && !Set("NO_COLOR") &&
                   std::string_view(Set("TERM") ? std::getenv("TERM") : "") != "dumb";
    if (!input.scripted) {
        if (setup.outTerminal)
            setup.editFd = STDOUT_FILENO;
        else if (::isatty(STDERR_FILENO) == 1)
            setup.editFd = STDERR_FILENO;
    }
    TerminalMode terminal;
    input.editing = setup.editFd >= 0 && terminal.KeyByKey(STDIN_FILENO);
    if (!input.editing) setup.editFd = -1;

    LineEditor editor;
    ConsoleScreen screen(setup);
    if (announceHeadless)
        screen.WriteMessage(
            "ostrel: no display (DISPLAY and WAYLAND_DISPLAY are not set), so this "
            "is the console front end; /help lists its commands.");
    WarnAboutIgnoredFile(options->startArguments, screen);

    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Ostrel"));

    ConsoleView view(screen, editor);
    ConsoleApp app(input, *options, std::move(*expectations), screen, editor, view, terminal);
    const std::unique_ptr<SessionBindings> bindings = makeBindings();
    const std::unique_ptr<ProgramRunner> runner = makeRunner();
    AppController controller(view, bindings->Net(), bindings->Serial());
    view.Attach(controller);
    controller.AttachTools(*runner);
    // The SSH library's events arrive through the platform queue, which Qt's loop drives.
    controller.AttachSsh(bindings->Ssh(), &bindings->Events());
    app.Attach(controller);

    const bool started = controller.Start(options->startArguments);
    app.Begin(started);
    const int status = QCoreApplication::exec();
    screen.End();
    return status;
}

}  // namespace ostrel
