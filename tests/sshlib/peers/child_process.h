// Child processes and temporary folders for the test peers.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tessan::testing {

// A temporary folder, removed with its contents on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// A program run with its standard output on a pipe and its standard error in a file (or
// discarded). Stopped (SIGTERM, then SIGKILL after 2 s) on destruction.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { Stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Start(const std::vector<std::string>& argv, const std::string& stderrPath = "");
    // The next line of standard output (without its line feed); empty on time-out or end.
    std::string ReadLine(int timeoutMs);
    bool Running();
    void Stop();
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int stdout_ = -1;
    std::string buffered_;
};

// Runs a program to completion; true when it exits with status 0.
bool RunProgram(const std::vector<std::string>& argv);

// A TCP port on 127.0.0.1 that was free a moment ago.
int FreeLoopbackPort();

// True once something accepts TCP connections on 127.0.0.1:port (tries for `timeoutMs`).
bool WaitForListener(int port, int timeoutMs);

}  // namespace tessan::testing
