// `ostrel --console`: the terminal in a text terminal or a script, on QtCore and QtNetwork only
// (no display, no QGuiApplication). Returns the exit status.
#pragma once

namespace ostrel {

// announceHeadless: the console was chosen because no display was found; its first line says so.
int RunConsole(int argc, char** argv, bool announceHeadless);

}  // namespace ostrel
