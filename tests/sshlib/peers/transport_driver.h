// A small driver that takes the SSH-2 transport to a real server for tests: it connects through
// the network layer, runs the identification exchange and the key exchange, sends the
// "ssh-userauth" service request and checks that the server accepts it. Test support only; the
// library's own client API is built on the same seam (ssh_transport.h, socket_link.h).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform_types.h"
#include "sshlib/transport/socket_link.h"
#include "sshlib/transport/ssh_transport.h"

namespace tessan::testing {

class TransportDriver {
public:
    explicit TransportDriver(const transport::TransportSettings& settings = {});
    ~TransportDriver();

    // Connects to 127.0.0.1:port and runs the key exchange: 0, or the error number.
    DWORD Open(int port, int timeoutMs = 15000);
    // Open, then the service request "ssh-userauth" up to its acceptance: 0, or the error.
    DWORD Connect(int port, int timeoutMs = 15000);
    // Pumps until `done` holds: 0, or the error.
    DWORD RunUntil(const std::function<bool()>& done, int timeoutMs = 15000);

    transport::Transport& Transport() { return *transport_; }
    transport::SocketLink& Link() { return *link_; }
    bool KeysReady() const { return keysReady_; }
    bool ServiceAccepted() const { return serviceAccepted_; }
    // Payloads (message number first) that reached the step routine, in order.
    const std::vector<std::vector<uint8_t>>& Packets() const { return packets_; }
    // Called for every packet that reaches the step routine (after it is recorded).
    void OnPacket(std::function<void(const transport::IncomingPacket&)> hook) {
        hook_ = std::move(hook);
    }

private:
    std::unique_ptr<transport::Transport> transport_;
    std::unique_ptr<transport::SocketLink> link_;
    bool started_ = false;
    bool keysReady_ = false;
    bool serviceAccepted_ = false;
    std::vector<std::vector<uint8_t>> packets_;
    std::function<void(const transport::IncomingPacket&)> hook_;
};

}  // namespace tessan::testing
