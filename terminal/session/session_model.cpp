#include "terminal/session/session_model.h"

#include <cstdio>

#include "terminal/core/text_util.h"
#include "terminal/session/status_text.h"

namespace ostrel {
namespace {

std::size_t IndexOf(SessionType type) {
    return static_cast<std::size_t>(type);
}

}  // namespace

std::string UndefinedErrorText(int code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(code));
    return std::string("Undefined error 0x") + hex;
}

SessionModel::SessionModel(SessionSettings& settings, Tessnet& net, SerialDevice& serial,
                           SessionHost& host)
    : settings_(settings),
      host_(host),
      socketErrors_(net),
      serial_(*this, serial),
      tcpClient_(*this, net, socketErrors_, *this),
      tcpServer_(*this, net, socketErrors_),
      udpClient_(*this, net, socketErrors_, *this),
      udpServer_(*this, net, socketErrors_, *this) {
    sessions_[IndexOf(SessionType::Serial)] = &serial_;
    sessions_[IndexOf(SessionType::TcpClient)] = &tcpClient_;
    sessions_[IndexOf(SessionType::TcpServer)] = &tcpServer_;
    sessions_[IndexOf(SessionType::UdpClient)] = &udpClient_;
    sessions_[IndexOf(SessionType::UdpServer)] = &udpServer_;
}

void SessionModel::RegisterSession(SessionType type, Session& session) {
    if (IndexOf(type) < sessions_.size() && type != SessionType::None)
        sessions_[IndexOf(type)] = &session;
}

Session* SessionModel::SessionOf(SessionType type) const {
    const std::size_t index = IndexOf(type);
    return index < sessions_.size() ? sessions_[index] : nullptr;
}

void SessionModel::OpenFromMenu(SessionType type) {
    SessionSettings& s = settings_;
    Close();
    s.inUse = false;
    if (type == SessionType::Serial) {
        host_.RefreshStatus();
        host_.ShowSessionDialog(type, s);
        if (s.inUse) serial_.Open();
        return;
    }

    const bool client = type == SessionType::TcpClient || type == SessionType::SshClient;
    s.type = client ? type : SessionType::None;
    host_.RefreshStatus();
    const bool confirmed = host_.ShowSessionDialog(type, s) == DialogResult::Confirmed;
    if (TrimBlanks(s.host).empty()) s.host = kLoopbackHost;

    const bool waitsForLine = type == SessionType::TcpClient && s.httpMode &&
                              TrimBlanks(s.httpRequest).empty();
    if (confirmed && type == SessionType::TcpClient && !waitsForLine)
        Show("Attempting TCP Client Connection...");
    if (confirmed && type == SessionType::SshClient) Show("Attempting SSH Client Connection...");

    Session* session = SessionOf(type);
    if (session == nullptr) {
        if (s.inUse) Show(kSshNotAvailable);
        s.inUse = false;
        s.type = SessionType::None;
        host_.RefreshStatus();
        return;
    }
    if (waitsForLine) {
        host_.RefreshStatus();
        return;
    }
    session->Open();
}

void SessionModel::Close() {
    host_.StopTimer(TimerId::SerialRead);
    Session* session = SessionOf(settings_.type);
    if (session == nullptr) return;
    const int result = session->Close();
    if (settings_.type == SessionType::Serial) return;
    if (result != 0) {
        ShowErrorText(result);
        return;
    }
    settings_.inUse = false;
    // Sessions report their end when closed here, not through a later notification: the state
    // is 0 now, so no write goes to a handle that no longer exists.
    settings_.state = ConnectionState::Disconnected;
}

void SessionModel::Restart() {
    settings_.inUse = true;
    OpenCurrent();
}

void SessionModel::OpenCurrent() {
    if (Session* session = SessionOf(settings_.type)) session->Open();
}

void SessionModel::ShowErrorText(int code) {
    if (settings_.type == SessionType::Serial) return;
    ErrorSource* source = &socketErrors_;
    if (settings_.type == SessionType::SshClient) {
        Session* ssh = SessionOf(SessionType::SshClient);
        source = ssh != nullptr ? ssh->Errors() : nullptr;
        if (source == nullptr) return;
    }
    const int error = code != 0 ? code : source->LastError();
    if (error == 0) return;
    std::array<char, 128> text{};
    const int length = source->ErrorString(error, text);
    if (length > 0)
        Show(std::string_view(text.data(), static_cast<std::size_t>(length)));
    else
        Show(UndefinedErrorText(error));
}

std::optional<std::string> SessionModel::StatusText() const {
    return SessionStatusText(settings_);
}

NetworkSession* SessionModel::NetworkSessionWithHandle(int handle) {
    if (handle == -1) return nullptr;
    for (NetworkSession* session :
         {static_cast<NetworkSession*>(&tcpClient_), static_cast<NetworkSession*>(&udpClient_),
          static_cast<NetworkSession*>(&udpServer_)})
        if (session->Handle() == handle) return session;
    return nullptr;
}

void SessionModel::OnSocketMessage(unsigned message, int handle, std::uint32_t param) {
    if (message != kSocketMessage) return;
    // Notifications of a handle the session no longer holds (an old connection after Restart)
    // are dropped rather than applied to the new session.
    NetworkSession* session = NetworkSessionWithHandle(handle);
    if (session == nullptr) return;
    const std::uint16_t error = InetErrorOf(param);
    switch (InetEventOf(param)) {
        case kInetEventConnect:
            if (error != 0) {
                host_.OnSessionOpenFailed();
                ShowErrorText(error);
            } else if (session == &tcpClient_) {
                tcpClient_.OnConnected();
            }
            break;
        case kInetEventDisconnect:
            if (session == &tcpClient_) tcpClient_.OnDisconnected();
            break;
        case kInetEventRead:
            session->ReadEvent();
            break;
        default:
            break;
    }
}

bool SessionModel::PortOpen() const {
    const Session* session = SessionOf(settings_.type);
    return session != nullptr && session->PortOpen();
}

long SessionModel::Write(std::string_view data) {
    Session* session = SessionOf(settings_.type);
    if (session == nullptr) return -1;
    if (!AcceptsOutput(*this, session->Backlog(), data.size(), kRefusedLine)) return kWriteRefused;
    return session->Write(data);
}

void SessionModel::RestartWithPendingHttpLine(std::string line) {
    settings_.pendingHttpLine = std::move(line);
    Restart();
    host_.RefreshStatus();
}

}  // namespace ostrel
