// socat joining two pseudo-terminals: one end is the "device" the terminal opens, the test plays
// the equipment on the other.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>
#include <QProcess>
#include <QTemporaryDir>

#include <filesystem>
#include <string>
#include <string_view>

#include "qt_test_support.h"

namespace ostrel::testing {

// The pair, linked as <folder>/terminal and <folder>/equipment.
class PtyPair {
public:
    PtyPair() {
        terminal_ = folder_.filePath(QStringLiteral("terminal")).toStdString();
        equipment_ = folder_.filePath(QStringLiteral("equipment")).toStdString();
        socat_.start(QStringLiteral("socat"),
                     {QStringLiteral("pty,raw,echo=0,link=") + QString::fromStdString(terminal_),
                      QStringLiteral("pty,raw,echo=0,link=") + QString::fromStdString(equipment_)});
        ready_ =
            socat_.waitForStarted(5000) && WaitUntil([this] {
                return std::filesystem::exists(terminal_) && std::filesystem::exists(equipment_);
            });
        if (ready_) {
            fd_ = ::open(equipment_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            termios raw{};
            tcgetattr(fd_, &raw);
            cfmakeraw(&raw);
            tcsetattr(fd_, TCSANOW, &raw);
        }
    }
    ~PtyPair() {
        if (fd_ >= 0) ::close(fd_);
        Unplug();
    }
    void Unplug() {
        if (socat_.state() == QProcess::NotRunning) return;
        socat_.terminate();
        socat_.waitForFinished(5000);
    }
    bool Ready() const { return ready_ && fd_ >= 0; }
    const std::string& TerminalEnd() const { return terminal_; }
    void Send(std::string_view data) {
        ASSERT_EQ(::write(fd_, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    }
    std::string Receive(std::size_t count, int milliseconds = 3000) {
        std::string data;
        WaitUntil(
            [&] {
                char buffer[4096];
                const ssize_t n = ::read(fd_, buffer, sizeof buffer);
                if (n > 0) data.append(buffer, static_cast<std::size_t>(n));
                return data.size() >= count;
            },
            milliseconds);
        return data;
    }

private:
    QTemporaryDir folder_;
    QProcess socat_;
    std::string terminal_;
    std::string equipment_;
    bool ready_ = false;
    int fd_ = -1;
};

}  // namespace ostrel::testing
