#include "terminal/session/ssh_client_session.h"

#include <array>
#include <sstream>

#include "terminal/core/text_util.h"
#include "terminal/session/network_session.h"

namespace ostrel {

SshClientSession::SshClientSession(SessionServices& services, SshLibrary& library,
                                   HostKeyStore& hostKeys, SshEventWindow window)
    : services_(services), library_(library), hostKeys_(hostKeys), window_(window) {}

SshClientSession::~SshClientSession() {
    ReleaseCredentials();
}

void SshClientSession::Open() {
    if (connecting_) {
        // Called from inside the waiting connect (Restart, or the Session menu after its
        // Close): that connect ends, and this open starts once it has returned. A connect
        // cannot start inside another one's wait.
        if (!services_.Settings().inUse) return;
        if (!abandoned_) {
            abandoned_ = true;
            library_.AbortConnect();
        }
        openRequested_ = true;
        return;
    }
    Connect();
    while (openRequested_) {
        openRequested_ = false;
        Connect();
    }
}

void SshClientSession::Connect() {
    SessionSettings& s = services_.Settings();
    const std::string host(TrimBlanks(s.host));
    const std::string port(TrimBlanks(s.port));
    if (!s.inUse || host.empty() || port.empty()) return;
    // Restart opens without closing first: the old connection must not stay behind.
    if (handle_ != -1) library_.Disconnect(handle_);
    handle_ = -1;
    ReleaseCredentials();
    s.state = ConnectionState::Disconnected;

    if (!library_.CreateCredentials(kSshSecurityProtocol, credentials_)) {
        credentials_ = nullptr;
        services_.Show("Error creating security credentials..");
        services_.ShowErrorText(0);
        services_.Host().OnSessionOpenFailed();
        return;
    }
    services_.Show("Security credentials created...");

    host_ = host;
    port_ = ReadNumber(port);
    // A device met before must present the key it presented then, or the library ends the
    // connection before the password leaves. A new one is remembered once connected.
    remembered_ = hostKeys_.Remembered(host_, port_);
    const std::string expectedHostKey =
        !remembered_
            ? std::string()
            : (remembered_->sha256.empty() ? remembered_->fingerprint : remembered_->sha256);
    // The window keeps working during the connect's wait; the status bar says what it waits for.
    s.state = ConnectionState::Connecting;
    services_.Host().RefreshStatus();
    services_.Host().RepaintOutput();
    services_.Host().OnSessionOpening();

    SshConnectRequest request;
    request.host = host;
    request.port = port_;
    request.user = TrimBlanks(s.sshUser);
    request.password = TrimBlanks(s.sshPassword);
    request.credentials = credentials_;
    request.expectedHostKey = expectedHostKey;
    request.window = window_;
    connecting_ = true;
    abandoned_ = false;
    const int handle = library_.AsyncConnect(request);
    connecting_ = false;

    if (abandoned_) {
        // Closed while the connect waited: the record belongs to whatever came next.
        abandoned_ = false;
        if (handle != -1) library_.Disconnect(handle);
        ReleaseCredentials();
        return;
    }
    handle_ = handle;
    s.handle = handle;
    // A connect returns after its connect event; without one, what was opening is over all the
    // same, and its listeners must not wait for it.
    const bool unreported = s.state == ConnectionState::Connecting;
    if (unreported) s.state = ConnectionState::Disconnected;
    if (unreported && handle != -1) services_.Host().OnSessionClosed();
    if (handle == -1) {
        services_.Host().OnSessionOpenFailed();
        ShowOpenFailure(services_, "SSH Client FAILED to open!", host, port);
        // Read before anything else can set the library's last error.
        const auto error = static_cast<std::uint32_t>(library_.LastError());
        const std::string detail = library_.LastErrorDetail();
        services_.ShowErrorText(0);
        if (error == kSshErrorHostKeyMismatch)
            ShowRefusedHostKey(detail);
        else if (!detail.empty())
            services_.Show(detail);
        ReleaseCredentials();
        s.inUse = false;
        s.type = SessionType::None;
        s.state = ConnectionState::Disconnected;
    } else {
        s.lastHandle = handle;
    }
    services_.Host().RefreshStatus();
}

int SshClientSession::Close() {
    SessionSettings& s = services_.Settings();
    openRequested_ = false;
    if (connecting_) {
        if (!abandoned_) {
            abandoned_ = true;
            library_.AbortConnect();
        }
        s.state = ConnectionState::Disconnected;
        services_.Host().OnSessionClosed();
        return 0;
    }
    if (handle_ != -1) {
        if (library_.Disconnect(handle_) != 0) {
            const int error = library_.LastError();
            return error != 0 ? error : -1;
        }
        handle_ = -1;
        // The library sends no disconnect event for a handle its owner disconnects.
        if (!disconnectShown_) OnDisconnected();
    }
    ReleaseCredentials();
    return 0;
}

long SshClientSession::Write(std::string_view data) {
    if (handle_ == -1) return -1;
    const int written = library_.Write(handle_, data);
    // The library takes nothing (0) once the session has ended, before that end is reported:
    // the bytes are lost as much as on -1, and its last error says why.
    return written == 0 && !data.empty() ? -1 : written;
}

OutputBacklog SshClientSession::Backlog() {
    if (handle_ == -1 || !library_.Backlogged(handle_)) return {};
    return {kMaxPendingOutput, true};
}

void SshClientSession::OnEvent(std::uintptr_t handle, std::uint32_t param) {
    const auto event = static_cast<std::uint16_t>(param & 0xFFFF);
    const auto error = static_cast<std::uint16_t>(param >> 16);
    const auto client = static_cast<int>(handle);
    switch (event) {
        case kSshEventConnect:
            // Delivered inside the connect call, before it has returned the handle; a connect
            // already ended by Close is not reported.
            if (!connecting_ || abandoned_) return;
            if (error != 0)
                services_.ShowErrorText(error);
            else
                OnConnected(client);
            break;
        case kSshEventDisconnect:
            // Events of a handle this session no longer holds (a connection replaced by
            // Restart) are dropped.
            if (client == handle_ && !disconnectShown_) OnDisconnected();
            break;
        case kSshEventRead:
            if (client == handle_) ReadEvent();
            break;
        default:
            break;
    }
}

void SshClientSession::OnConnected(int handle) {
    SessionSettings& s = services_.Settings();
    s.state = ConnectionState::Connected;
    services_.Host().RefreshStatus();
    services_.Show("SSH Client Connected...");
    services_.Host().OnSessionOpened();
    disconnectShown_ = false;
    ShowHostKey(handle);
}

void SshClientSession::OnDisconnected() {
    SessionSettings& s = services_.Settings();
    s.state = ConnectionState::Disconnected;
    services_.Host().RefreshStatus();
    services_.Show("SSH Client Disconnected...");
    ReleaseCredentials();
    services_.Host().OnSessionClosed();
    disconnectShown_ = true;
}

void SshClientSession::ReadEvent() {
    std::array<char, kSshReadSize> buffer;
    std::string chunk;
    int count = 0;
    bool echoRefused = false;  // said once per event
    do {
        count = library_.Read(handle_, buffer);
        if (count < 0) break;
        const std::string_view piece(buffer.data(), static_cast<std::size_t>(count));
        chunk += piece;
        if (count > 0 && services_.RemoteEcho() && !echoRefused) {
            if (!AcceptsOutput(services_, Backlog(), piece.size(), kRefusedEcho))
                echoRefused = true;
            else if (library_.Write(handle_, piece) <= 0)
                services_.ShowErrorText(0);
        }
    } while (count >= 1);
    if (!chunk.empty()) services_.Host().OnSessionReceived(chunk);
    services_.Show(chunk, DisplayCategory::Incoming);
}

namespace {

// "<md5> <sha256>", or the MD5 form alone when the other is not known.
std::string BothForms(const std::string& md5, const std::string& sha256) {
    return sha256.empty() ? md5 : md5 + " " + sha256;
}

}  // namespace

void SshClientSession::ShowHostKey(int handle) {
    const std::string fingerprint = library_.Fingerprint(handle);
    if (fingerprint.empty()) return;
    const std::string sha256 = library_.FingerprintSha256(handle);
    services_.Show("Host key fingerprint: " + fingerprint, DisplayCategory::Informational);
    if (!sha256.empty())
        services_.Show("Host key SHA-256 fingerprint: " + sha256, DisplayCategory::Informational);
    const HostKeyCheck check = hostKeys_.Check(host_, port_, fingerprint, sha256);
    if (check.verdict == HostKeyVerdict::Changed) {
        services_.Show("WARNING: the host key of " + host_ + " port " + std::to_string(port_) +
                       " has CHANGED since the last connection!");
        services_.Show("   Remembered fingerprint: " +
                       BothForms(check.remembered, check.rememberedSha256));
        services_.Show("   Presented fingerprint:  " + BothForms(fingerprint, sha256));
        services_.Show(
            "This may be another device, or someone between you and the device. "
            "The session stays open. If the device's key was changed on purpose, "
            "remove its line from " +
            hostKeys_.File().string() + "...");
    }
    if (!check.error.empty()) services_.Show("Remembered host keys: " + check.error + "...");
}

void SshClientSession::ShowRefusedHostKey(const std::string& detail) {
    // The detail ends with the presented key: "... presented <name> <bits> <md5> <sha256>".
    std::string md5;
    std::string sha256;
    if (const std::size_t at = detail.rfind("presented "); at != std::string::npos) {
        std::istringstream words(detail.substr(at + 10));
        std::string name;
        std::string bits;
        words >> name >> bits >> md5 >> sha256;
    }
    services_.Show("WARNING: the host key of " + host_ + " port " + std::to_string(port_) +
                   " has CHANGED since the last connection! The password was not sent.");
    if (remembered_)
        services_.Show("   Remembered fingerprint: " +
                       BothForms(remembered_->fingerprint, remembered_->sha256));
    services_.Show("   Presented fingerprint:  " + (md5.empty() ? detail : BothForms(md5, sha256)));
    services_.Show(
        "This may be another device, or someone between you and the device. If the device's key "
        "was changed on purpose, choose Session > Forget Host Key (/forget-host-key in the "
        "console) or remove its line from " +
        hostKeys_.File().string() + ", then open the session again...");
}

void SshClientSession::ReleaseCredentials() {
    library_.DeleteCredentials(credentials_);
    credentials_ = nullptr;
}

}  // namespace ostrel
