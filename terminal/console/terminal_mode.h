// The terminal of standard input switched to reading key by key without echo (the console's line
// editing), or only without echo (a password typed where there is no line editing), and put
// back as it was when the console ends, also when it is ended by a signal (SIGTERM, SIGHUP,
// SIGINT, SIGQUIT).
#pragma once

namespace ostrel {

class TerminalMode {
public:
    TerminalMode() = default;
    ~TerminalMode() { Restore(); }
    TerminalMode(const TerminalMode&) = delete;
    TerminalMode& operator=(const TerminalMode&) = delete;

    // Key by key: no line assembly, no echo, Ctrl+C and friends arrive as keys. False (and
    // nothing changed) when fd is no terminal.
    bool KeyByKey(int fd);
    // Lines as usual but typed characters not shown. False when fd is no terminal.
    bool NoEcho(int fd);
    // Back to how the terminal was before the first change.
    void Restore();

private:
    bool Change(int fd, bool keyByKey);
    int fd_ = -1;
};

}  // namespace ostrel
