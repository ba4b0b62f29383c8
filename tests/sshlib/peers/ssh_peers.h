// Real SSH servers on loopback for interoperability tests: OpenSSH's sshd with a temporary
// configuration and host keys, and the AsyncSSH server script beside this file. Each peer is
// started by the test that needs it (one per algorithm set; reuse one across the cases that
// share it to keep wall time small) and stopped on destruction.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "child_process.h"

namespace tessan::testing {

// What an sshd offers; empty fields keep sshd's defaults. Names are sshd's list syntax.
struct SshdOptions {
    std::string kex;
    std::string hostKeyAlgorithms = "ssh-rsa";  // "ssh-rsa", "ssh-dss" or both
    // The host key files it loads from SharedHostKeyDir(), comma-separated: "rsa", "dsa",
    // "ecdsa", "ed25519".
    std::string hostKeys = "rsa,dsa";
    std::string ciphers;
    std::string macs;
    std::string compression = "no";  // sshd's "Compression" setting
    std::string rekeyLimit;          // sshd's "RekeyLimit", e.g. "32K"
    std::string extra;               // configuration lines that win over the defaults
};

// The quickest algorithm set both sides share (group 14, AES-128 CTR, HMAC-SHA1), for the tests
// that are about something other than the algorithms.
SshdOptions QuickSshdOptions();

// sshd with no algorithm or compression setting at all (the distribution's defaults) and the
// given host key files.
SshdOptions StockSshdOptions(const std::string& hostKeys);

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
    std::string hostKey = "ssh-rsa";  // "ssh-rsa", "ssh-dss", "both" or "default" (see script)
    std::string ciphers;
    std::string macs;
    std::string compression;
    std::string rekeyBytes;
    std::string user = "tester";
    std::string password = "secret";
    std::string auth = "password";  // "password", "none" or "change"
    std::string banners;            // comma-separated sizes of banners sent before the login
};

// A server script beside this file, run with /usr/bin/python3; its standard error is its log.
class ScriptPeer {
public:
    int Port() const { return port_; }
    const std::string& Error() const { return error_; }
    std::string Log() const;

protected:
    bool StartScript(const char* script, const std::vector<std::string>& arguments,
                     const std::string& what);

private:
    TempDir dir_;
    ChildProcess process_;
    int port_ = 0;
    std::string error_;
};

class AsyncSshPeer : public ScriptPeer {
public:
    bool Start(const AsyncSshOptions& options);
    // The Paramiko server script beside this file instead (user "tester", password "secret");
    // with `defaults` it offers Paramiko's own algorithm lists.
    bool StartParamiko(bool defaults = false);
};

// What the scripted SSH protocol 1 server (ssh1_server.py beside this file) does; see the
// script for the session it plays and the log lines it writes.
struct Ssh1Options {
    std::string version = "1.2.27";  // software version announced after "SSH-1.5-"
    std::string ciphers = "3,6,2";   // SSH-1 cipher numbers offered
    std::string user = "tester";
    std::string password = "secret";
    std::string auth = "password";  // "password" or "none"
    int exitStatus = 0;
    bool portOpen = false;  // tries to open a forwarded port when the session starts
    bool attack = false;    // the first output packet carries the compensation attack
    bool corrupt = false;   // the first output packet has a damaged check
    int hostKeyBits = 2048;
};

// Its log: what the server saw, one line per event.
class Ssh1Peer : public ScriptPeer {
public:
    bool Start(const Ssh1Options& options);
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

// The folder holding the host keys made once per test process with ssh-keygen ("rsa", "dsa",
// "ecdsa", "ed25519", each with its ".pub").
const std::string& SharedHostKeyDir();

}  // namespace tessan::testing
