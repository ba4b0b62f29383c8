#include "terminal/console/console_screen.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ostrel {
namespace {

// The same terminal device behind two descriptors.
bool SameTerminal(int a, int b) {
    if (a < 0 || b < 0) return false;
    if (a == b) return true;
    struct stat sa {};
    struct stat sb {};
    return ::isatty(a) == 1 && ::isatty(b) == 1 && ::fstat(a, &sa) == 0 && ::fstat(b, &sb) == 0 &&
           sa.st_rdev == sb.st_rdev;
}

}  // namespace

ConsoleScreen::ConsoleScreen(const Setup& setup)
    : setup_(setup), text_(setup.outTerminal, setup.colour) {}

bool ConsoleScreen::SharesInputLine(int fd) const {
    return editor_ != nullptr && SameTerminal(fd, setup_.editFd);
}

void ConsoleScreen::Write(int fd, std::string_view bytes) {
    bool& failed = fd == setup_.outFd ? outFailed_ : errFailed_;
    while (!bytes.empty() && !failed) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, -1);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            // The reader went away (a closed pipe) or the device failed: what follows is
            // dropped rather than ending the session the user is running.
            failed = true;
        }
    }
}

void ConsoleScreen::WritePane(std::string_view text, Colour colour, Colour background) {
    if (lineEndedEarly_) {
        // The line break that ended the last line before a message stands for this one.
        lineEndedEarly_ = false;
        if (text.starts_with("\r\n"))
            text.remove_prefix(2);
        else if (text.starts_with('\n') || text.starts_with('\r'))
            text.remove_prefix(1);
    }
    text_.Append(text, colour, background, buffer_);
}

void ConsoleScreen::EndOutputLine() {
    Flush();
    if (outputAtLineStart_) return;
    if (SharesInputLine(setup_.outFd)) TakeInputAway();
    Write(setup_.outFd, "\r\n");
    outputAtLineStart_ = true;
    lineEndedEarly_ = true;
}

void ConsoleScreen::Flush() {
    if (!buffer_.empty()) {
        if (SharesInputLine(setup_.outFd)) TakeInputAway();
        Write(setup_.outFd, buffer_);
        buffer_.clear();
        outputAtLineStart_ = text_.AtLineStart();
    }
    if (editor_ != nullptr && !inputShown_) DrawInput();
}

void ConsoleScreen::WriteMessage(std::string_view line) {
    // A message starts a line of its own wherever both streams end up (a terminal, or one pipe
    // or file for both); the output goes on below it.
    EndOutputLine();
    std::string bytes;
    if (SharesInputLine(setup_.errFd)) TakeInputAway();
    bytes += line;
    bytes += '\n';
    Write(setup_.errFd, bytes);
    if (editor_ != nullptr && !inputShown_) DrawInput();
}

void ConsoleScreen::TakeInputAway() {
    if (!inputShown_) return;
    // Clear the input row; when it stands below unfinished output, go back to that output's end.
    Write(setup_.editFd, inputBelowOutput_ ? "\r\x1b[2K\x1b" "8" : "\r\x1b[2K");
    inputShown_ = false;
}

void ConsoleScreen::End() {
    Flush();
    TakeInputAway();
    editor_ = nullptr;
    if (!outputAtLineStart_) Write(setup_.outFd, "\r\n");
    outputAtLineStart_ = true;
}

std::size_t ConsoleScreen::TerminalWidth() const {
    winsize size{};
    if (::ioctl(setup_.editFd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

void ConsoleScreen::DrawInput() {
    if (editor_ == nullptr) return;
    std::string bytes;
    inputBelowOutput_ = !outputAtLineStart_ && SharesInputLine(setup_.outFd);
    if (inputBelowOutput_) {
        // Down and up again (IND, RI) makes sure a row exists below even at the bottom of the
        // screen, so the saved position (DECSC) stays right after the scroll; then the row below.
        bytes += "\x1b" "D\x1b" "M\x1b" "7\r\x1b" "D";
    }
    inputShown_ = true;
    Write(setup_.editFd, bytes);
    RedrawInput();
}

void ConsoleScreen::SetSecretInput(bool secret) {
    secretInput_ = secret;
    RedrawInput();
}

void ConsoleScreen::RedrawInput() {
    if (editor_ == nullptr) return;
    if (!inputShown_) {
        DrawInput();
        return;
    }
    LineEditor::View view;
    if (secretInput_) {
        view.text = std::string(kPasswordPrompt);
        view.cursorColumn = kPasswordPrompt.size();
    } else {
        view = editor_->Render(kInputPrompt, TerminalWidth());
    }
    std::string bytes = "\r" + view.text + "\x1b[K\r";
    if (view.cursorColumn > 0) bytes += "\x1b[" + std::to_string(view.cursorColumn) + "C";
    Write(setup_.editFd, bytes);
}

}  // namespace ostrel
