// The terminal of standard input switched to reading key by key without echo, for the console's
// line editing, and put back as it was when the console ends, also when it is ended by a
// signal (SIGTERM, SIGHUP, SIGINT, SIGQUIT).
#pragma once

namespace ostrel {

class KeyByKeyInput {
public:
    KeyByKeyInput() = default;
    ~KeyByKeyInput() { Restore(); }
    KeyByKeyInput(const KeyByKeyInput&) = delete;
    KeyByKeyInput& operator=(const KeyByKeyInput&) = delete;

    // Switches the terminal behind fd; false (and nothing changed) when it is no terminal.
    bool Enter(int fd);
    void Restore();

private:
    int fd_ = -1;
};

// Turns the terminal's echo of typed characters off or on (for a password read line by line).
// False when fd is no terminal.
bool SetTerminalEcho(int fd, bool on);

}  // namespace ostrel
