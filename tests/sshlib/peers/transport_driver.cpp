#include "transport_driver.h"

#include "sshlib/transport/network.h"
#include "sshlib/transport/socket_table.h"
#include "sshlib/transport/ssh_constants.h"

namespace tessan::testing {

using transport::IncomingPacket;
using transport::OutgoingPacket;

TransportDriver::TransportDriver(const transport::TransportSettings& settings) {
    started_ = net::StartSocketSubsystem() == 0;
    transport::Transport::Callbacks callbacks;
    callbacks.keysReady = [this] { keysReady_ = true; };
    callbacks.packet = [this](const IncomingPacket& packet) {
        packets_.emplace_back(packet.Payload().begin(), packet.Payload().end());
        if (packet.Type() == transport::kMsgServiceAccept) serviceAccepted_ = true;
        if (hook_) hook_(packet);
    };
    transport_ = std::make_unique<transport::Transport>(settings, std::move(callbacks));
}

TransportDriver::~TransportDriver() {
    link_.reset();
    transport_.reset();
    if (started_) net::CleanupSocketSubsystem();
}

DWORD TransportDriver::Open(int port, int timeoutMs) {
    net::ConnectRequest request;
    request.host = "127.0.0.1";
    request.port = port;
    request.timeoutMs = timeoutMs;
    net::Connection connection;
    DWORD error = 0;
    if (net::OpenConnection(request, connection, &error) != 0) return error;
    link_ = std::make_unique<transport::SocketLink>(*transport_, connection.socket);
    return RunUntil([this] { return keysReady_; }, timeoutMs);
}

DWORD TransportDriver::Connect(int port, int timeoutMs) {
    DWORD error = Open(port, timeoutMs);
    if (error) return error;
    OutgoingPacket request(transport::kMsgServiceRequest);
    request.AddString(std::string_view("ssh-userauth"));
    transport_->SendPacket(std::move(request));
    return RunUntil([this] { return serviceAccepted_; }, timeoutMs);
}

DWORD TransportDriver::RunUntil(const std::function<bool()>& done, int timeoutMs) {
    if (!link_) return 10038;
    return link_->RunUntil(done, timeoutMs);
}

}  // namespace tessan::testing
