// Loopback peers for network tests: a listener on a free port and a one-connection scripted
// peer running on its own thread.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <thread>

namespace tessan::testing {

// A listening IPv4 socket on 127.0.0.1 and a free port.
class Listener {
public:
    Listener() {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        listen(fd_, 8);
    }
    ~Listener() { Close(); }
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }
    int fd() const { return fd_; }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

// A port on which nothing listens (it was bound and released).
inline int ClosedPort() {
    Listener l;
    return l.port();
}

// Accepts one connection on its own listener and runs `script` with it on a thread.
class ScriptedPeer {
public:
    explicit ScriptedPeer(std::function<void(int)> script)
        : thread_([this, script = std::move(script)] {
              int fd = accept(listener_.fd(), nullptr, nullptr);
              if (fd < 0) return;
              script(fd);
              close(fd);
          }) {}
    ~ScriptedPeer() {
        shutdown(listener_.fd(), SHUT_RDWR);  // ends an accept that never came
        thread_.join();
    }
    int port() const { return listener_.port(); }

    // Reads until `end` was seen (or the peer closed / 64 kB passed); returns what was read.
    static std::string ReadUntil(int fd, const std::string& end) {
        std::string data;
        char c;
        while (data.size() < 65536 && recv(fd, &c, 1, 0) == 1) {
            data += c;
            if (data.size() >= end.size() && data.compare(data.size() - end.size(), end.size(), end) == 0)
                break;
        }
        return data;
    }
    static void SendAll(int fd, const std::string& data) {
        size_t sent = 0;
        while (sent < data.size()) {
            ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return;
            sent += static_cast<size_t>(n);
        }
    }

private:
    Listener listener_;
    std::thread thread_;
};

}  // namespace tessan::testing
