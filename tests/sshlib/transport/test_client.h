// The client side of the transport tests: a transport machine with a clock the test moves and a
// record of its callbacks.
#pragma once

#include <memory>
#include <vector>

#include "crypto/random_pool.h"
#include "scripted_server.h"
#include "sshlib/transport/ssh_transport.h"

namespace tessan::transport::test {

struct Client {
    explicit Client(TransportSettings settings = {}) {
        Transport::Callbacks callbacks;
        callbacks.keysReady = [this] { ++keysReady; };
        callbacks.packet = [this](const IncomingPacket& p) {
            packets.emplace_back(p.Payload().begin(), p.Payload().end());
        };
        callbacks.closed = [this](const TransportFailure& f) {
            ++closedCount;
            failure = f;
        };
        callbacks.keyExchangeComplete = [this] { ++exchanges; };
        transport = std::make_unique<Transport>(
            settings, std::move(callbacks), [this] { return now; },
            [](uint8_t* out, size_t length) { crypto::RandomBytes(out, length); });
    }
    Transport& operator*() { return *transport; }
    Transport* operator->() { return transport.get(); }

    std::unique_ptr<Transport> transport;
    uint64_t now = 1000;
    int keysReady = 0;
    int closedCount = 0;
    int exchanges = 0;
    TransportFailure failure;
    std::vector<Bytes> packets;
};

}  // namespace tessan::transport::test
