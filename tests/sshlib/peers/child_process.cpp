#include "child_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace tessan::testing {
namespace {

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::vector<char*> Argv(const std::vector<std::string>& argv) {
    std::vector<char*> out;
    for (const std::string& a : argv)
        out.push_back(const_cast<char*>(a.c_str()));
    out.push_back(nullptr);
    return out;
}

}  // namespace

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessan-test-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    path_ = made ? made : "";
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& stderrPath) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
    std::vector<char*> args = Argv(argv);
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        int err = open(stderrPath.empty() ? "/dev/null" : stderrPath.c_str(),
                       O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (err >= 0) dup2(err, 2);
        int in = open("/dev/null", O_RDONLY);
        if (in >= 0) dup2(in, 0);
        execv(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    pid_ = pid;
    stdout_ = pipeFds[0];
    return true;
}

std::string ChildProcess::ReadLine(int timeoutMs) {
    const int64_t deadline = NowMs() + timeoutMs;
    for (;;) {
        size_t lf = buffered_.find('\n');
        if (lf != std::string::npos) {
            std::string line = buffered_.substr(0, lf);
            buffered_.erase(0, lf + 1);
            return line;
        }
        int64_t left = deadline - NowMs();
        if (left <= 0 || stdout_ < 0) return {};
        pollfd p{stdout_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) return {};
        char chunk[512];
        ssize_t n = read(stdout_, chunk, sizeof chunk);
        if (n <= 0) return {};
        buffered_.append(chunk, static_cast<size_t>(n));
    }
}

bool ChildProcess::Running() {
    if (pid_ < 0) return false;
    int status;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return false;
    }
    return true;
}

void ChildProcess::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        const int64_t deadline = NowMs() + 2000;
        int status;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (NowMs() > deadline) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        pid_ = -1;
    }
    if (stdout_ >= 0) close(stdout_);
    stdout_ = -1;
}

bool RunProgram(const std::vector<std::string>& argv) {
    ChildProcess child;
    if (!child.Start(argv)) return false;
    int status = 0;
    pid_t pid = child.Pid();
    if (waitpid(pid, &status, 0) != pid) return false;
    child.Stop();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int FreeLoopbackPort() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

bool WaitForListener(int port, int timeoutMs) {
    const int64_t deadline = NowMs() + timeoutMs;
    while (NowMs() < deadline) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (ok) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace tessan::testing
