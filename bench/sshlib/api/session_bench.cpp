// The client API next to OpenSSH's ssh client, against the same sshd servers in the same run:
// receive throughput through SshRead, and connect + login + "true" + disconnect per key
// exchange. The servers and the account come from the environment (set by compare.py):
//   TESSAN_BENCH_USER, TESSAN_BENCH_PASSWORD, TESSAN_BENCH_ASKPASS (a script printing it),
//   TESSAN_BENCH_PORT_AES (aes128-ctr, group14-sha1), TESSAN_BENCH_PORT_3DES (3des-cbc),
//   TESSAN_BENCH_PORT_GEX (aes128-ctr, group-exchange-sha256), TESSAN_BENCH_PORT_CHACHA
//   (chacha20-poly1305, group14-sha1), TESSAN_BENCH_PORT_GCM (aes128-gcm, group14-sha1);
//   hmac-sha1 and ssh-rsa on these; TESSAN_BENCH_PORT_CURVE (curve25519-sha256, ssh-ed25519,
//   aes128-ctr, hmac-sha1).
// With --peak-memory BYTES it instead receives BYTES through SshRead in a child process and
// prints that child's peak resident size, then the same for ssh.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sshlib/api/tessan.h"

namespace {

const char* Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

int Port(const char* which) {
    return std::atoi(Env((std::string("TESSAN_BENCH_PORT_") + which).c_str()));
}

std::string ReceiveCommand(long long bytes) {
    return "head -c " + std::to_string(bytes) + " /dev/zero";
}

// Runs `command` through our library and returns the bytes read (-1 on failure).
long long TessanRun(int port, const std::string& command) {
    SSHOPTIONS options{};
    options.dwSize = sizeof options;
    std::strncpy(options.szCommandLine, command.c_str(), sizeof options.szCommandLine - 1);
    HCLIENT client =
        SshConnectA("127.0.0.1", port, Env("TESSAN_BENCH_USER"), Env("TESSAN_BENCH_PASSWORD"), 60,
                    SSH_OPTION_COMMAND, &options, nullptr);
    if (client == INVALID_CLIENT) return -1;
    static char buffer[65536];
    long long total = 0;
    int n;
    while ((n = SshRead(client, buffer, sizeof buffer)) > 0)
        total += n;
    SshDisconnect(client);
    return n == 0 ? total : -1;
}

// The same through OpenSSH's ssh client, its output read from a pipe in the same chunks.
long long OpenSshRun(int port, const char* kex, const char* cipher, const std::string& command,
                     const char* hostKey = "ssh-rsa") {
    std::string line =
        "SSH_ASKPASS='" + std::string(Env("TESSAN_BENCH_ASKPASS")) +
        "' SSH_ASKPASS_REQUIRE=force DISPLAY=none /usr/bin/ssh -T -p " + std::to_string(port) +
        " -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null"
        " -o LogLevel=ERROR -o PubkeyAuthentication=no -o HostKeyAlgorithms=" +
        hostKey + " -o MACs=hmac-sha1 -o Ciphers=" + cipher + " -o KexAlgorithms=" + kex + " " +
        Env("TESSAN_BENCH_USER") + "@127.0.0.1 '" + command + "' < /dev/null";
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe) return -1;
    static char buffer[65536];
    long long total = 0;
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        total += static_cast<long long>(n);
    return pclose(pipe) == 0 ? total : -1;
}

struct Library {
    Library() { SshInitializeA(nullptr, nullptr); }
    ~Library() { SshUninitialize(); }
};

constexpr long long kReceiveBytes = 200LL * 1000 * 1000;

void Receive(benchmark::State& state, bool ours, const char* port, const char* cipher) {
    Library library;
    for (auto _ : state) {
        long long got = ours ? TessanRun(Port(port), ReceiveCommand(kReceiveBytes))
                             : OpenSshRun(Port(port), "diffie-hellman-group14-sha1", cipher,
                                          ReceiveCommand(kReceiveBytes));
        if (got != kReceiveBytes) {
            state.SkipWithError("transfer failed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * kReceiveBytes);
}

void ConnectTrue(benchmark::State& state, bool ours, const char* port, const char* kex,
                 const char* hostKey = "ssh-rsa") {
    Library library;
    for (auto _ : state) {
        long long got = ours ? TessanRun(Port(port), "true")
                             : OpenSshRun(Port(port), kex, "aes128-ctr", "true", hostKey);
        if (got != 0) {
            state.SkipWithError("connect failed");
            return;
        }
    }
}

// Peak resident size of a child process that receives `bytes` one way or the other (KiB).
long PeakKiB(bool ours, long long bytes) {
    pid_t child = fork();
    if (child == 0) {
        Library library;
        long long got = ours ? TessanRun(Port("AES"), ReceiveCommand(bytes))
                             : OpenSshRun(Port("AES"), "diffie-hellman-group14-sha1", "aes128-ctr",
                                          ReceiveCommand(bytes));
        _exit(got == bytes ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    // For ssh this is the largest of the child and its own children (ssh runs under a shell).
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : -1;
}

}  // namespace

BENCHMARK_CAPTURE(Receive, aes128ctr_hmacsha1 / ours, true, "AES", "aes128-ctr")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(Receive, aes128ctr_hmacsha1 / ssh, false, "AES", "aes128-ctr")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(Receive, 3descbc_hmacsha1 / ours, true, "3DES", "3des-cbc")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK_CAPTURE(Receive, 3descbc_hmacsha1 / ssh, false, "3DES", "3des-cbc")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK_CAPTURE(Receive, chacha20poly1305 / ours, true, "CHACHA", "chacha20-poly1305@openssh.com")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(Receive, chacha20poly1305 / ssh, false, "CHACHA", "chacha20-poly1305@openssh.com")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(Receive, aes128gcm / ours, true, "GCM", "aes128-gcm@openssh.com")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(Receive, aes128gcm / ssh, false, "GCM", "aes128-gcm@openssh.com")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(ConnectTrue, group14sha1 / ours, true, "AES", "diffie-hellman-group14-sha1")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();
BENCHMARK_CAPTURE(ConnectTrue, group14sha1 / ssh, false, "AES", "diffie-hellman-group14-sha1")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();
BENCHMARK_CAPTURE(ConnectTrue, gexsha256 / ours, true, "GEX",
                  "diffie-hellman-group-exchange-sha256")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();
BENCHMARK_CAPTURE(ConnectTrue, gexsha256 / ssh, false, "GEX",
                  "diffie-hellman-group-exchange-sha256")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();

BENCHMARK_CAPTURE(ConnectTrue, curve25519ed25519 / ours, true, "CURVE", "curve25519-sha256",
                  "ssh-ed25519")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();
BENCHMARK_CAPTURE(ConnectTrue, curve25519ed25519 / ssh, false, "CURVE", "curve25519-sha256",
                  "ssh-ed25519")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--peak-memory") == 0) {
        const long long bytes = std::atoll(argv[2]);
        std::printf("{\"ours_kib\": %ld, \"ssh_kib\": %ld, \"bytes\": %lld}\n",
                    PeakKiB(true, bytes), PeakKiB(false, bytes), bytes);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
