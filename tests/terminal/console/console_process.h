// The ostrel program run as a console, with its standard input, output and error on pipes or
// all three on a pseudo-terminal, and the peers it talks to: TCP and UDP servers on loopback
// and a socat pair of pseudo-terminals standing in for a serial cable.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace ostrel::testing {

// A temporary folder, removed with its contents.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

class ConsoleProcess {
public:
    struct Setup {
        std::vector<std::string> arguments;  // after the program name
        // Environment changes: "NAME=value" sets, "NAME" removes.
        std::vector<std::string> environment;
        bool pseudoTerminal = false;
        // Standard error on standard output's pipe, as "2>&1" gives it.
        bool errorsToOutput = false;
    };

    ConsoleProcess() = default;
    ~ConsoleProcess();
    ConsoleProcess(const ConsoleProcess&) = delete;
    ConsoleProcess& operator=(const ConsoleProcess&) = delete;

    bool Start(const Setup& setup);
    void Write(std::string_view bytes);
    // Ends standard input (on a pseudo-terminal: Ctrl+D on an empty line).
    void CloseInput();
    // True once standard output (everything, on a pseudo-terminal) holds text after `from`.
    bool WaitForOutput(std::string_view text, int milliseconds = 5000, std::size_t from = 0);
    // The exit status; -1 when the program did not end in time (it is killed then).
    int Wait(int milliseconds = 10000);

    const std::string& Out() const { return out_; }
    const std::string& Err() const { return err_; }

private:
    void Pump(int milliseconds);

    pid_t pid_ = -1;
    int in_ = -1;
    int out_fd_ = -1;
    int err_fd_ = -1;
    bool pty_ = false;
    std::string out_;
    std::string err_;
    int status_ = -1;
};

// Runs the console with the script on standard input (which then ends) to its exit.
struct ConsoleRun {
    int status = -1;
    std::string out;
    std::string err;
};
ConsoleRun RunConsole(const std::vector<std::string>& arguments, std::string_view script,
                      const std::string& home);

// A TCP server on 127.0.0.1 taking one connection at a time; each chunk received is recorded
// and answered with what `reply` returns for everything received so far (echo by default).
class TcpPeer {
public:
    using Reply = std::function<std::string(const std::string& received, std::string_view chunk)>;
    explicit TcpPeer(Reply reply = {});
    ~TcpPeer();
    int Port() const { return port_; }
    std::string Received();
    bool WaitForReceived(std::string_view bytes, int milliseconds = 5000);

private:
    void Serve();
    Reply reply_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::string received_;
    std::thread thread_;
};

// A UDP server on 127.0.0.1 answering each datagram with `reply` of it.
class UdpPeer {
public:
    explicit UdpPeer(std::function<std::string(std::string_view datagram)> reply);
    ~UdpPeer();
    int Port() const { return port_; }
    std::string Received();

private:
    void Serve();
    std::function<std::string(std::string_view)> reply_;
    int socket_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::string received_;
    std::thread thread_;
};

// socat joining two pseudo-terminals: the console opens DeviceEnd(), the test plays the
// equipment on the other end.
class SerialPair {
public:
    SerialPair();
    ~SerialPair();
    bool Ready() const { return equipment_ >= 0; }
    const std::string& DeviceEnd() const { return device_; }
    void Send(std::string_view bytes);
    // What the equipment received until it holds `bytes` or the time is up.
    std::string ReceiveUntil(std::string_view bytes, int milliseconds = 5000);

private:
    TempFolder folder_;
    pid_t socat_ = -1;
    std::string device_;
    int equipment_ = -1;
    std::string received_;
};

// A loopback TCP port nothing listens on.
int ClosedPort();

}  // namespace ostrel::testing
