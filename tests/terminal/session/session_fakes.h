// Scripted stand-ins for what the session model talks to: the socket library, the serial
// device and the program around it.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "terminal/core/text_output.h"
#include "terminal/session/inet_text.h"
#include "terminal/session/serial_device.h"
#include "terminal/session/session_host.h"
#include "terminal/session/ssh_library.h"
#include "terminal/session/tessnet.h"

namespace ostrel::testing {

struct ShownLine {
    std::string text;
    DisplayCategory category;
    friend bool operator==(const ShownLine&, const ShownLine&) = default;
};

class RecordingHost final : public SessionHost, public TextOutput {
public:
    TextOutput& Output() override { return *this; }
    void ShowText(std::string_view text, DisplayCategory category) override {
        shown.push_back({std::string(text), category});
    }
    void RefreshStatus() override { ++refreshes; }
    void RepaintOutput() override { ++repaints; }
    void StartTimer(TimerId id, int milliseconds) override { timers[id] = milliseconds; }
    void StopTimer(TimerId id) override { timers.erase(id); }
    DialogResult ShowSessionDialog(SessionType type, SessionSettings& settings) override {
        dialogs.push_back(type);
        return dialog ? dialog(type, settings) : DialogResult::Cancelled;
    }
    void OnSessionOpening() override { events.push_back("opening"); }
    void OnSessionOpened() override { events.push_back("opened"); }
    void OnSessionOpenFailed() override { events.push_back("open failed"); }
    void OnSessionClosed() override { events.push_back("closed"); }
    void OnSessionReceived(std::string_view data) override {
        events.push_back("received " + std::string(data));
    }

    // Texts of the Status lines, in order.
    std::vector<std::string> StatusLines() const {
        std::vector<std::string> lines;
        for (const ShownLine& s : shown)
            if (s.category == DisplayCategory::Status) lines.push_back(s.text);
        return lines;
    }
    std::string Incoming() const {
        std::string all;
        for (const ShownLine& s : shown)
            if (s.category == DisplayCategory::Incoming) all += s.text;
        return all;
    }

    std::vector<ShownLine> shown;
    int refreshes = 0;
    int repaints = 0;
    std::map<TimerId, int> timers;
    std::vector<SessionType> dialogs;
    std::vector<std::string> events;  // what the session reported, in order
    std::function<DialogResult(SessionType, SessionSettings&)> dialog;
};

// A socket library whose results the test sets and whose calls it examines.
class ScriptedTessnet final : public Tessnet {
public:
    struct Call {
        std::string name;
        std::string host;
        unsigned port = 0;
        int protocol = 0;
        unsigned options = 0;
        std::string local;
        unsigned localPort = 0;
        int handle = 0;
        std::string data;
    };

    int InetInitializeA(std::string_view, unsigned) override { return initResult; }
    void InetUninitialize() override { calls.push_back({"Uninitialize"}); }
    int InetAsyncConnectA(std::string_view host, unsigned port, int protocol, unsigned,
                          unsigned options, unsigned, InetEventTarget* window,
                          unsigned msg) override {
        calls.push_back({"AsyncConnect", std::string(host), port, protocol, options});
        return Open(window, msg);
    }
    int InetAsyncConnectExA(std::string_view host, unsigned port, int protocol, unsigned,
                            unsigned options, std::string_view local, unsigned localPort,
                            InetCredentials, InetEventTarget* window, unsigned msg) override {
        calls.push_back({"AsyncConnectEx", std::string(host), port, protocol, options,
                         std::string(local), localPort});
        return Open(window, msg);
    }
    int InetCreateSecurityCredentialsA(unsigned protocols, unsigned, std::string_view,
                                       std::string_view, std::string_view, std::string_view,
                                       unsigned, InetCredentials* credentials) override {
        calls.push_back({"CreateCredentials", {}, protocols});
        if (!credentialsOk) {
            lastError = kInetErrorTlsProtocol;
            return 0;
        }
        *credentials = ++credentialsMade;
        liveCredentials.push_back(*credentials);
        return 1;
    }
    void InetDeleteSecurityCredentialsA(InetCredentials credentials) override {
        std::erase(liveCredentials, credentials);
    }
    int InetServerStartA(std::string_view, unsigned port, int backlog, int, int, int, int,
                         InetServerCallback callback, unsigned) override {
        calls.push_back({"ServerStart", {}, port, backlog});
        if (failNextOpen) {
            failNextOpen = false;
            lastError = kInetErrorAddressInUse;
            return -1;
        }
        serverCallback = std::move(callback);
        return ++handles;
    }
    int InetServerBroadcast(int server, std::string_view data) override {
        calls.push_back({"Broadcast", {}, 0, 0, 0, {}, 0, server, std::string(data)});
        return writeResult == -1 ? -1 : static_cast<int>(data.size());
    }
    int InetGetPeerAddress(int, InetAddress* address, unsigned* port) override {
        *address = peerAddress;
        *port = peerPort;
        return 0;
    }
    int InetFormatAddressA(const InetAddress& address, std::span<char> buffer) override {
        return CopyToBuffer(FormatInetAddress(address), buffer);
    }
    int InetRead(int handle, std::span<char> buffer) override {
        return InetReadEx(handle, buffer, 0, nullptr, nullptr);
    }
    int InetReadEx(int handle, std::span<char> buffer, unsigned, InetAddress* source,
                   unsigned* sourcePort) override {
        calls.push_back({"Read", {}, 0, 0, 0, {}, 0, handle});
        std::deque<std::string>& queue = incoming[handle];
        if (queue.empty()) return 0;
        std::string& front = queue.front();
        const std::size_t n = std::min(front.size(), buffer.size());
        std::copy_n(front.begin(), n, buffer.begin());
        front.erase(0, n);
        if (front.empty()) queue.pop_front();
        if (source != nullptr) *source = peerAddress;
        if (sourcePort != nullptr) *sourcePort = peerPort;
        return static_cast<int>(n);
    }
    int InetWrite(int handle, std::string_view data) override {
        calls.push_back({"Write", {}, 0, 0, 0, {}, 0, handle, std::string(data)});
        if (writeResult == -1) lastError = kInetErrorConnectionReset;
        return writeResult == -1 ? -1 : static_cast<int>(data.size());
    }
    int InetWriteTo(int handle, std::string_view data, const InetAddress& address,
                    unsigned port) override {
        calls.push_back(
            {"WriteTo", FormatInetAddress(address), port, 0, 0, {}, 0, handle, std::string(data)});
        return static_cast<int>(data.size());
    }
    long InetGetWriteBacklog(int handle) override {
        const auto it = heldBytes.find(handle);
        return it != heldBytes.end() ? it->second : 0;
    }
    int InetDisconnect(int handle) override {
        calls.push_back({"Disconnect", {}, 0, 0, 0, {}, 0, handle});
        return disconnectResult;
    }
    int InetGetLastError() override { return lastError; }
    int InetGetErrorStringA(int code, std::span<char> buffer) override {
        return CopyToBuffer(InetErrorText(code), buffer);
    }
    bool InetGetSecurityInfo(int, InetSecurityInfo* info) override {
        *info = securityInfo;
        return true;
    }

    // Delivers a notification as the library would, from the event loop.
    void Notify(int handle, std::uint16_t event, std::uint16_t error = 0) {
        target->OnSocketMessage(message, handle, MakeInetParam(event, error));
    }
    std::vector<std::string> CallNames() const {
        std::vector<std::string> names;
        for (const Call& c : calls)
            names.push_back(c.name);
        return names;
    }
    std::vector<std::string> Writes() const {
        std::vector<std::string> data;
        for (const Call& c : calls)
            if (c.name == "Write" || c.name == "Broadcast") data.push_back(c.data);
        return data;
    }

    int initResult = 1;
    bool failNextOpen = false;
    bool credentialsOk = true;
    int writeResult = 0;
    int disconnectResult = 0;
    int lastError = 0;
    std::map<int, long> heldBytes;  // bytes the library holds per handle
    int handles = 100;
    int credentialsMade = 0;
    std::vector<InetCredentials> liveCredentials;
    std::vector<Call> calls;
    std::map<int, std::deque<std::string>> incoming;
    InetEventTarget* target = nullptr;
    unsigned message = 0;
    InetServerCallback serverCallback;
    InetAddress peerAddress{InetAddress::Family::V4, {192, 168, 1, 20}};
    unsigned peerPort = 50123;
    InetSecurityInfo securityInfo;

private:
    int Open(InetEventTarget* window, unsigned msg) {
        if (failNextOpen) {
            failNextOpen = false;
            lastError = kInetErrorHostNotFound;
            return -1;
        }
        target = window;
        message = msg;
        return ++handles;
    }
};

class FakeSerialDevice final : public SerialDevice {
public:
    bool Open(std::string_view path, std::string* reason) override {
        opens.emplace_back(path);
        if (!openOk) {
            *reason = "No such file or directory";
            return false;
        }
        open = true;
        return true;
    }
    std::vector<std::string> Configure(const SerialConfig& c) override {
        config = c;
        return refused;
    }
    bool IsOpen() const override { return open; }
    int Handle() const override { return open ? 7 : -1; }
    std::size_t BytesWaiting() override { return waiting.size(); }
    std::string Read(std::size_t max) override {
        std::string data = waiting.substr(0, max);
        waiting.erase(0, max);
        return data;
    }
    void Write(std::string_view data) override { written += data; }
    std::size_t PendingBytes() override { return pending; }
    void Close() override { open = false; }
    void SetLostHandler(std::function<void(const std::string&)> handler) override {
        lost = std::move(handler);
    }

    bool openOk = true;
    bool open = false;
    std::vector<std::string> opens;
    std::vector<std::string> refused;
    SerialConfig config;
    std::string waiting;
    std::string written;
    std::size_t pending = 0;
    std::function<void(const std::string&)> lost;
};

// An SSH library whose results the test sets and whose calls it examines.
class ScriptedSsh final : public SshLibrary {
public:
    struct Connect {
        std::string host;
        int port;
        std::string user;
        std::string password;
        unsigned timeout;
        unsigned options;
        SshCredentials credentials;
        SshEventWindow window;
        unsigned message;
        std::string expectedHostKey;
    };
    static constexpr int kErrorBase = static_cast<int>(0x80040000u);

    bool Initialize() override { return ++inits, initOk; }
    void Uninitialize() override { ++uninits; }
    bool CreateCredentials(unsigned protocol, SshCredentials& credentials) override {
        protocols.push_back(protocol);
        if (!credentialsOk) {
            lastError = kErrorBase | 12001;
            return false;
        }
        credentials = &credentialRecords[liveCredentials++ % 8];
        return true;
    }
    void DeleteCredentials(SshCredentials& credentials) override {
        if (credentials != nullptr) --liveCredentials;
        credentials = nullptr;
    }
    int AsyncConnect(const SshConnectRequest& r) override {
        connects.push_back({std::string(r.host), r.port, std::string(r.user),
                            std::string(r.password), r.timeout, r.options, r.credentials, r.window,
                            r.message, std::string(r.expectedHostKey)});
        return onConnect ? onConnect() : connectResult;
    }
    void AbortConnect() override { ++aborts; }
    // The next of `reads` (each at most one buffer), then -1.
    int Read(int, std::span<char> buffer) override {
        if (reads.empty()) return -1;
        const std::string data = reads.front();
        reads.erase(reads.begin());
        return static_cast<int>(data.copy(buffer.data(), buffer.size()));
    }
    int Write(int, std::string_view data) override {
        written += data;
        return writeResult ? *writeResult : static_cast<int>(data.size());
    }
    bool Backlogged(int) override { return backlogged; }
    int Disconnect(int handle) override {
        disconnects.push_back(handle);
        return 0;
    }
    std::string Fingerprint(int) override { return fingerprint; }
    std::string FingerprintSha256(int) override { return fingerprintSha256; }
    std::string LastErrorDetail() override { return errorDetail; }
    int LastError() override { return lastError; }
    // "error " and the code's number.
    int ErrorString(int code, std::span<char> buffer) override {
        const std::string text = "error " + std::to_string(code & 0xFFFF);
        text.copy(buffer.data(), buffer.size() - 1);
        buffer[text.size()] = 0;
        return static_cast<int>(text.size());
    }

    bool initOk = true;
    bool credentialsOk = true;
    int connectResult = -1;
    std::function<int()> onConnect;  // runs inside the connect, instead of connectResult
    int lastError = 0;
    std::string fingerprint = "aa:bb";
    std::string fingerprintSha256;
    std::string errorDetail;
    int inits = 0;
    int uninits = 0;
    int aborts = 0;
    int liveCredentials = 0;
    std::vector<std::string> reads;
    std::optional<int> writeResult;  // instead of the count
    bool backlogged = false;
    std::string written;
    std::vector<unsigned> protocols;
    std::vector<Connect> connects;
    std::vector<int> disconnects;

private:
    int credentialRecords[8] = {};
};

}  // namespace ostrel::testing
