#include "ssh_peers.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

namespace tessan::testing {
namespace {

constexpr char kSshd[] = "/usr/sbin/sshd";
constexpr char kSshKeygen[] = "/usr/bin/ssh-keygen";
constexpr char kPython[] = "/usr/bin/python3";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string ScriptPath(const char* name) {
    const char* source = std::getenv("OSTREL_SOURCE_DIR");
    return std::string(source ? source : ".") + "/tests/sshlib/peers/" + name;
}

}  // namespace

const std::string& SharedHostKeyDir() {
    static TempDir dir;
    static std::once_flag once;
    std::call_once(once, [] {
        RunProgram({kSshKeygen, "-q", "-t", "rsa", "-b", "2048", "-N", "", "-f", dir.File("rsa")});
        RunProgram({kSshKeygen, "-q", "-t", "dsa", "-N", "", "-f", dir.File("dsa")});
        RunProgram(
            {kSshKeygen, "-q", "-t", "ecdsa", "-b", "256", "-N", "", "-f", dir.File("ecdsa")});
        RunProgram({kSshKeygen, "-q", "-t", "ed25519", "-N", "", "-f", dir.File("ed25519")});
    });
    return dir.Path();
}

const TestAccount& PasswordAccount() {
    static TestAccount account;
    static std::once_flag once;
    std::call_once(once, [] {
        account.user = "tessantest";
        account.password = "Tessan-Test-7";
        if (geteuid() != 0) {
            if (!getpwnam(account.user.c_str())) {
                account.error = "not root, and the account " + account.user + " does not exist";
            }
            return;
        }
        // Test processes run in parallel: one of them creates the account at a time.
        int lock = open("/tmp/tessantest-account.lock", O_CREAT | O_RDWR | O_CLOEXEC, 0600);
        if (lock >= 0) flock(lock, LOCK_EX);
        if (!getpwnam(account.user.c_str()) &&
            !RunProgram({"/usr/sbin/useradd", "-m", "-s", "/bin/sh", account.user})) {
            account.error = "useradd failed";
        }
        if (account.error.empty()) {
            TempDir dir;
            std::ofstream(dir.File("pw")) << account.user << ":" << account.password << "\n";
            if (!RunProgram({"/bin/sh", "-c", "/usr/sbin/chpasswd < " + dir.File("pw")})) {
                account.error = "chpasswd failed";
            }
        }
        if (lock >= 0) close(lock);
    });
    return account;
}

SshdOptions QuickSshdOptions() {
    SshdOptions options;
    options.kex = "diffie-hellman-group14-sha1";
    options.ciphers = "aes128-ctr";
    options.macs = "hmac-sha1";
    return options;
}

SshdOptions StockSshdOptions(const std::string& hostKeys) {
    SshdOptions options;
    options.hostKeyAlgorithms.clear();
    options.compression.clear();
    options.hostKeys = hostKeys;
    return options;
}

bool SshdPeer::Start(const SshdOptions& options) {
    return Launch(options) && WaitReady();
}

bool SshdPeer::Launch(const SshdOptions& options) {
    if (access(kSshd, X_OK) != 0) {
        error_ = "sshd is not installed";
        return false;
    }
    // As root sshd wants its privilege-separation folder.
    if (geteuid() == 0) mkdir("/run/sshd", 0755);
    options_ = options;
    return WriteConfigAndRun();
}

bool SshdPeer::WriteConfigAndRun() {
    const std::string& keys = SharedHostKeyDir();
    port_ = FreeLoopbackPort();
    std::ofstream config(dir_.File("sshd_config"));
    // sshd takes the first value of each keyword: the caller's lines come first.
    config << options_.extra << "\n"
           << "ListenAddress 127.0.0.1:" << port_ << "\n";
    std::stringstream hostKeys(options_.hostKeys);
    for (std::string key; std::getline(hostKeys, key, ',');)
        config << "HostKey " << keys << "/" << key << "\n";
    config << "PidFile " << dir_.File("sshd.pid") << "\n"
           << "UsePAM no\nStrictModes no\nPubkeyAuthentication no\n"
           << "KbdInteractiveAuthentication no\nPasswordAuthentication yes\n"
           << "PermitRootLogin yes\nMaxStartups 100\nLogLevel VERBOSE\n";
    if (!options_.hostKeyAlgorithms.empty())
        config << "HostKeyAlgorithms " << options_.hostKeyAlgorithms << "\n";
    if (!options_.compression.empty()) config << "Compression " << options_.compression << "\n";
    if (!options_.kex.empty()) config << "KexAlgorithms " << options_.kex << "\n";
    if (!options_.ciphers.empty()) config << "Ciphers " << options_.ciphers << "\n";
    if (!options_.macs.empty()) config << "MACs " << options_.macs << "\n";
    if (!options_.rekeyLimit.empty()) config << "RekeyLimit " << options_.rekeyLimit << "\n";
    config.close();
    // Each launch logs to a file of its own. With one file for all, a relaunch could read the
    // previous launch's "Cannot bind" before the new process had truncated the file, and give up
    // on a port conflict that the relaunch was there to get past.
    log_ = dir_.File("sshd-" + std::to_string(++launches_) + ".log");
    if (!process_.Start({kSshd, "-D", "-e", "-f", dir_.File("sshd_config")}, log_)) {
        error_ = "sshd could not be started";
        return false;
    }
    return true;
}

// The port was free when chosen but is released until sshd binds it, so another process (a
// parallel test's server, or any outgoing connection's local port) may take it meanwhile; sshd
// then exits with "Cannot bind any address" and is launched again on another port.
bool SshdPeer::WaitReady() {
    for (int attempt = 0; attempt < kLaunchAttempts; ++attempt) {
        if (attempt > 0) {
            process_.Stop();
            if (!WriteConfigAndRun()) return false;
        }
        if (WaitForOwnListener()) return true;
    }
    error_ = "sshd did not start in " + std::to_string(kLaunchAttempts) + " launches: " + Log();
    return false;
}

// Waits for this sshd's own word that it listens. A probe of the port alone could be answered by
// another test's server that took the port between its choice and this sshd's bind.
bool SshdPeer::WaitForOwnListener() {
    const std::string listening =
        "Server listening on 127.0.0.1 port " + std::to_string(port_) + ".";
    for (int waited = 0; waited < 5000; waited += 10) {
        const std::string log = Log();
        if (log.find(listening) != std::string::npos) return true;
        if (log.find("Cannot bind any address") != std::string::npos || !process_.Running())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::string SshdPeer::Log() const {
    return log_.empty() ? std::string() : ReadFile(log_);
}

bool AsyncSshPeer::Start(const AsyncSshOptions& options) {
    std::vector<std::string> arguments = {"--host-key", options.hostKey, "--user",
                                          options.user, "--password",    options.password};
    auto add = [&arguments](const char* flag, const std::string& value) {
        if (value.empty()) return;
        arguments.push_back(flag);
        arguments.push_back(value);
    };
    add("--kex", options.kex);
    add("--cipher", options.ciphers);
    add("--mac", options.macs);
    add("--compression", options.compression);
    add("--rekey-bytes", options.rekeyBytes);
    add("--auth", options.auth);
    add("--banner", options.banners);
    return StartScript("asyncssh_server.py", arguments, "the AsyncSSH server");
}

bool AsyncSshPeer::StartParamiko(bool defaults) {
    std::vector<std::string> arguments;
    if (defaults) arguments.push_back("--defaults");
    return StartScript("paramiko_server.py", arguments, "the Paramiko server");
}

bool ScriptPeer::StartScript(const char* script, const std::vector<std::string>& arguments,
                             const std::string& what) {
    if (access(kPython, X_OK) != 0) {
        error_ = "python3 is not installed";
        return false;
    }
    std::vector<std::string> argv = {kPython, ScriptPath(script)};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    if (!process_.Start(argv, dir_.File("server.log"))) {
        error_ = what + " could not be started";
        return false;
    }
    // The script prints "PORT <n>" once it listens.
    std::string line = process_.ReadLine(20000);
    if (line.rfind("PORT ", 0) != 0) {
        error_ = what + " did not start: " + Log();
        return false;
    }
    port_ = std::stoi(line.substr(5));
    return true;
}

std::string ScriptPeer::Log() const {
    return ReadFile(dir_.File("server.log"));
}

bool Ssh1Peer::Start(const Ssh1Options& options) {
    std::vector<std::string> arguments = {"--version",       options.version,
                                          "--ciphers",       options.ciphers,
                                          "--user",          options.user,
                                          "--password",      options.password,
                                          "--auth",          options.auth,
                                          "--exit-status",   std::to_string(options.exitStatus),
                                          "--host-key-bits", std::to_string(options.hostKeyBits)};
    if (options.portOpen) arguments.push_back("--port-open");
    if (options.attack) arguments.push_back("--attack");
    if (options.corrupt) arguments.push_back("--corrupt");
    return StartScript("ssh1_server.py", arguments, "the SSH-1 server");
}

}  // namespace tessan::testing
