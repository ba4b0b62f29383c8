#include "terminal/console/terminal_mode.h"

#include <csignal>
#include <initializer_list>
#include <termios.h>
#include <unistd.h>

namespace ostrel {
namespace {

// The one terminal changed, for the signal handler (tcsetattr is async-signal-safe).
int gChangedFd = -1;
termios gSaved{};

void RestoreAndRaise(int signal) {
    if (gChangedFd >= 0) ::tcsetattr(gChangedFd, TCSANOW, &gSaved);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

bool KeyByKeyInput::Enter(int fd) {
    if (fd_ >= 0 || ::isatty(fd) != 1) return false;
    termios saved{};
    if (::tcgetattr(fd, &saved) != 0) return false;
    termios raw = saved;
    // No line assembly, no echo, and Ctrl+C, Ctrl+Z, Ctrl+V arrive as keys; output processing
    // (LF to CR LF) stays as it is.
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ISIG | IEXTEN));
    raw.c_iflag &= static_cast<tcflag_t>(~IXON);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    gSaved = saved;
    gChangedFd = fd;
    for (int signal : {SIGTERM, SIGHUP, SIGINT, SIGQUIT})
        std::signal(signal, RestoreAndRaise);
    if (::tcsetattr(fd, TCSANOW, &raw) != 0) {
        gChangedFd = -1;
        return false;
    }
    fd_ = fd;
    return true;
}

void KeyByKeyInput::Restore() {
    if (fd_ < 0) return;
    ::tcsetattr(fd_, TCSANOW, &gSaved);
    gChangedFd = -1;
    fd_ = -1;
}

bool SetTerminalEcho(int fd, bool on) {
    termios mode{};
    if (::isatty(fd) != 1 || ::tcgetattr(fd, &mode) != 0) return false;
    if (on)
        mode.c_lflag |= ECHO;
    else
        mode.c_lflag &= static_cast<tcflag_t>(~ECHO);
    return ::tcsetattr(fd, TCSANOW, &mode) == 0;
}

}  // namespace ostrel
