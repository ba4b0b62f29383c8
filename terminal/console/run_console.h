// `ostrel --console`: the terminal in a text terminal or a script, on QtCore only (no display, no
// QGuiApplication). Returns the exit status.
#pragma once

#include <functional>
#include <memory>

#include "terminal/reports/program_runner.h"
#include "terminal/session/session_bindings.h"

namespace ostrel {

// Makes what the sessions stand on; called once the Qt application object exists.
using MakeBindings = std::function<std::unique_ptr<SessionBindings>()>;
// Makes what the Tools commands start programs with, the same way.
using MakeRunner = std::function<std::unique_ptr<ProgramRunner>()>;

// announceHeadless: the console was chosen because no display was found; its first line says so.
int RunConsole(int argc, char** argv, bool announceHeadless, const MakeBindings& makeBindings,
               const MakeRunner& makeRunner);

}  // namespace ostrel
