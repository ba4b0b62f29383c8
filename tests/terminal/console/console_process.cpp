#include "console_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#ifndef OSTREL_BINARY
#error "OSTREL_BINARY names the program under test"
#endif

namespace ostrel::testing {
namespace {

using Clock = std::chrono::steady_clock;

int LeftMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool ReadInto(int fd, std::string& out) {
    char buffer[65536];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) out.append(buffer, static_cast<std::size_t>(n));
    return n > 0;
}

int Loopback(int type, sockaddr_in* address) {
    const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    *address = {};
    address->sin_family = AF_INET;
    address->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof *address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(address), length) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(address), &length) != 0)
        return -1;
    return fd;
}

}  // namespace

TempFolder::TempFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "ostrel-console-XXXXXX").string();
    const char* made = ::mkdtemp(pattern.data());
    path_ = made != nullptr ? made : "";
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

ConsoleProcess::~ConsoleProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    for (int fd : {in_, out_fd_, err_fd_})
        if (fd >= 0) ::close(fd);
}

bool ConsoleProcess::Start(const Setup& setup) {
    std::vector<std::string> argv = {OSTREL_BINARY};
    argv.insert(argv.end(), setup.arguments.begin(), setup.arguments.end());
    std::vector<char*> args;
    for (std::string& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    auto prepareChild = [&setup] {
        for (const std::string& change : setup.environment) {
            const std::size_t equals = change.find('=');
            if (equals == std::string::npos)
                ::unsetenv(change.c_str());
            else
                ::setenv(change.substr(0, equals).c_str(), change.c_str() + equals + 1, 1);
        }
    };

    pty_ = setup.pseudoTerminal;
    if (pty_) {
        winsize size{};
        size.ws_row = 30;
        size.ws_col = 100;
        int master = -1;
        pid_ = ::forkpty(&master, nullptr, nullptr, &size);
        if (pid_ < 0) return false;
        if (pid_ == 0) {
            prepareChild();
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        in_ = master;
        out_fd_ = ::dup(master);
        return true;
    }
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
        ::pipe2(err, O_CLOEXEC) != 0)
        return false;
    pid_ = ::fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(setup.errorsToOutput ? out[1] : err[1], 2);
        prepareChild();
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    in_ = in[1];
    out_fd_ = out[0];
    err_fd_ = err[0];
    return true;
}

void ConsoleProcess::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(in_, bytes.data(), bytes.size());
        if (n <= 0) return;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void ConsoleProcess::CloseInput() {
    if (pty_) {
        Write("\x04");
        return;
    }
    if (in_ >= 0) ::close(in_);
    in_ = -1;
}

void ConsoleProcess::Pump(int milliseconds) {
    pollfd fds[2];
    nfds_t count = 0;
    if (out_fd_ >= 0) fds[count++] = {out_fd_, POLLIN, 0};
    if (err_fd_ >= 0) fds[count++] = {err_fd_, POLLIN, 0};
    if (count == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    if (::poll(fds, count, milliseconds) <= 0) return;
    for (nfds_t i = 0; i < count; ++i) {
        if (fds[i].revents == 0) continue;
        const bool out = fds[i].fd == out_fd_;
        int& fd = out ? out_fd_ : err_fd_;
        // End of file, or EIO from a pseudo-terminal whose last user is gone.
        if (!ReadInto(fd, out ? out_ : err_)) {
            ::close(fd);
            fd = -1;
        }
    }
}

bool ConsoleProcess::WaitForOutput(std::string_view text, int milliseconds, std::size_t from) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (out_.find(text, from) == std::string::npos) {
        if (LeftMs(deadline) == 0) return false;
        Pump(std::min(LeftMs(deadline), 50));
    }
    return true;
}

int ConsoleProcess::Wait(int milliseconds) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (pid_ > 0) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (LeftMs(deadline) == 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
            return -1;
        }
        Pump(20);
    }
    // What is still in the pipes.
    const Clock::time_point drained = Clock::now() + std::chrono::seconds(1);
    while ((out_fd_ >= 0 || err_fd_ >= 0) && LeftMs(drained) > 0)
        Pump(std::min(LeftMs(drained), 50));
    return status_;
}

ConsoleRun RunConsole(const std::vector<std::string>& arguments, std::string_view script,
                      const std::string& home) {
    ConsoleProcess process;
    ConsoleRun run;
    if (!process.Start({arguments, {"OSTREL_HOME=" + home}, false})) return run;
    process.Write(script);
    process.CloseInput();
    run.status = process.Wait(20000);
    run.out = process.Out();
    run.err = process.Err();
    return run;
}

TcpPeer::TcpPeer(Reply reply) : reply_(std::move(reply)) {
    sockaddr_in address{};
    listener_ = Loopback(SOCK_STREAM, &address);
    ::listen(listener_, 4);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

TcpPeer::~TcpPeer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
}

void TcpPeer::Serve() {
    while (!stop_) {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        while (!stop_) {
            pollfd c{client, POLLIN, 0};
            if (::poll(&c, 1, 50) <= 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(client, buffer, sizeof buffer);
            if (n <= 0) break;
            const std::string_view chunk(buffer, static_cast<std::size_t>(n));
            std::string all;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                received_.append(chunk);
                all = received_;
            }
            const std::string answer = reply_ ? reply_(all, chunk) : std::string(chunk);
            if (!answer.empty() && ::write(client, answer.data(), answer.size()) < 0) break;
        }
        ::close(client);
    }
}

std::string TcpPeer::Received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

bool TcpPeer::WaitForReceived(std::string_view bytes, int milliseconds) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (Received().find(bytes) == std::string::npos) {
        if (LeftMs(deadline) == 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

UdpPeer::UdpPeer(std::function<std::string(std::string_view)> reply) : reply_(std::move(reply)) {
    sockaddr_in address{};
    socket_ = Loopback(SOCK_DGRAM, &address);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

UdpPeer::~UdpPeer() {
    stop_ = true;
    thread_.join();
    ::close(socket_);
}

void UdpPeer::Serve() {
    while (!stop_) {
        pollfd p{socket_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        char buffer[65536];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n = ::recvfrom(socket_, buffer, sizeof buffer, 0,
                                     reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0) continue;
        const std::string_view datagram(buffer, static_cast<std::size_t>(n));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            received_.append(datagram);
        }
        const std::string answer = reply_(datagram);
        ::sendto(socket_, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from),
                 length);
    }
}

std::string UdpPeer::Received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

SerialPair::SerialPair() {
    device_ = folder_.File("device");
    const std::string equipment = folder_.File("equipment");
    socat_ = ::fork();
    if (socat_ == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 1);
        ::dup2(null, 2);
        const std::string a = "pty,raw,echo=0,link=" + device_;
        const std::string b = "pty,raw,echo=0,link=" + equipment;
        ::execlp("socat", "socat", a.c_str(), b.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
    while (LeftMs(deadline) > 0 &&
           !(std::filesystem::exists(device_) && std::filesystem::exists(equipment)))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    equipment_ = ::open(equipment.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (equipment_ >= 0) {
        termios raw{};
        ::tcgetattr(equipment_, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(equipment_, TCSANOW, &raw);
    }
}

SerialPair::~SerialPair() {
    if (equipment_ >= 0) ::close(equipment_);
    if (socat_ > 0) {
        ::kill(socat_, SIGTERM);
        ::waitpid(socat_, nullptr, 0);
    }
}

void SerialPair::Send(std::string_view bytes) {
    if (::write(equipment_, bytes.data(), bytes.size()) < 0) return;
}

std::string SerialPair::ReceiveUntil(std::string_view bytes, int milliseconds) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (received_.find(bytes) == std::string::npos && LeftMs(deadline) > 0) {
        pollfd p{equipment_, POLLIN, 0};
        if (::poll(&p, 1, std::min(LeftMs(deadline), 50)) > 0) ReadInto(equipment_, received_);
    }
    return received_;
}

int ClosedPort() {
    sockaddr_in address{};
    const int fd = Loopback(SOCK_STREAM, &address);
    const int port = ntohs(address.sin_port);
    ::close(fd);  // bound but never listening, then gone: connects are refused
    return port;
}

}  // namespace ostrel::testing
