// Real SSH servers on loopback for interoperability tests: OpenSSH's sshd with a temporary
// configuration and host keys, and the AsyncSSH server script beside this file. Each peer is
// started by the test that needs it (one per algorithm set; reuse one across the cases that
// share it to keep wall time small) and stopped on destruction.
#pragma once

#include <memory>
#include <string>

#include "child_process.h"

namespace tessan::testing {

// What an sshd offers; empty fields keep sshd's defaults. Names are sshd's list syntax.
struct SshdOptions {
    std::string kex;
    std::string hostKeyAlgorithms = "ssh-rsa";  // "ssh-rsa", "ssh-dss" or both
    std::string ciphers;
    std::string macs;
    std::string compression = "no";  // sshd's "Compression" setting
    std::string rekeyLimit;          // sshd's "RekeyLimit", e.g. "32K"
    std::string extra;               // configuration lines that win over the defaults
};

// The quickest algorithm set both sides share (group 14, AES-128 CTR, HMAC-SHA1), for the tests
// that are about something other than the algorithms.
SshdOptions QuickSshdOptions();

class SshdPeer {
public:
    // Starts sshd; false (and a reason in Error()) when it is not installed or will not start.
    bool Start(const SshdOptions& options);
    // The same in two halves, so that many servers can start side by side: Launch starts the
    // process, WaitReady waits until it listens (relaunching on a port taken meanwhile).
    bool Launch(const SshdOptions& options);
    bool WaitReady();
    int Port() const { return port_; }
    const std::string& Error() const { return error_; }
    // The current launch's sshd log (its standard error) so far.
    std::string Log() const;

private:
    bool WriteConfigAndRun();
    bool WaitForOwnListener();

    static constexpr int kLaunchAttempts = 5;
    TempDir dir_;
    ChildProcess process_;
    SshdOptions options_;
    int port_ = 0;
    int launches_ = 0;
    std::string log_;  // the current launch's log
    std::string error_;
};

// What the AsyncSSH server offers; empty fields keep AsyncSSH's defaults.
struct AsyncSshOptions {
    std::string kex;
    std::string hostKey = "ssh-rsa";  // "ssh-rsa", "ssh-dss" or "both"
    std::string ciphers;
    std::string macs;
    std::string compression;
    std::string rekeyBytes;
    std::string user = "tester";
    std::string password = "secret";
    std::string auth = "password";  // "password", "none" or "change"
    std::string banners;            // comma-separated sizes of banners sent before the login
};

class AsyncSshPeer {
public:
    bool Start(const AsyncSshOptions& options);
    // The Paramiko server script beside this file instead (user "tester", password "secret").
    bool StartParamiko();
    int Port() const { return port_; }
    const std::string& Error() const { return error_; }
    std::string Log() const;

private:
    TempDir dir_;
    ChildProcess process_;
    int port_ = 0;
    std::string error_;
};

// A local account with a password for password logins to sshd. Created (useradd, chpasswd)
// the first time it is asked for when the process runs as root; otherwise it must exist
// already. `error` says why there is none.
struct TestAccount {
    std::string user;
    std::string password;
    std::string error;  // empty when the account can be used
};
const TestAccount& PasswordAccount();

// The folder holding the host keys made once per test process with ssh-keygen ("rsa", "dsa").
const std::string& SharedHostKeyDir();

}  // namespace tessan::testing
