#include "terminal/console/terminal_mode.h"

#include <csignal>
#include <initializer_list>
#include <termios.h>
#include <unistd.h>

namespace ostrel {
namespace {

// The one terminal changed, for the signal handler (tcsetattr is async-signal-safe).
volatile sig_atomic_t gChangedFd = -1;
termios gSaved{};

void RestoreAndRaise(int signal) {
    if (gChangedFd >= 0) ::tcsetattr(gChangedFd, TCSANOW, &gSaved);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

bool TerminalMode::Change(int fd, bool keyByKey) {
    if (::isatty(fd) != 1) return false;
    if (fd_ < 0) {
        termios saved{};
        if (::tcgetattr(fd, &saved) != 0) return false;
        gSaved = saved;
        gChangedFd = fd;
        for (int signal : {SIGTERM, SIGHUP, SIGINT, SIGQUIT})
            std::signal(signal, RestoreAndRaise);
        fd_ = fd;
    }
    termios mode = gSaved;
    mode.c_lflag &= static_cast<tcflag_t>(~ECHO);
    if (keyByKey) {
        // Output processing (LF to CR LF) stays as it is.
        mode.c_lflag &= static_cast<tcflag_t>(~(ICANON | ISIG | IEXTEN));
        mode.c_iflag &= static_cast<tcflag_t>(~IXON);
        mode.c_cc[VMIN] = 1;
        mode.c_cc[VTIME] = 0;
    }
    return ::tcsetattr(fd, TCSANOW, &mode) == 0;
}

bool TerminalMode::KeyByKey(int fd) {
    return Change(fd, true);
}

bool TerminalMode::NoEcho(int fd) {
    return Change(fd, false);
}

void TerminalMode::Restore() {
    if (fd_ < 0) return;
    ::tcsetattr(fd_, TCSANOW, &gSaved);
    gChangedFd = -1;
    fd_ = -1;
}

}  // namespace ostrel
