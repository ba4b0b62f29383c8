// The whole transport machine on arbitrary server bytes: an identification line, then packets in
// the clear (the first key exchange is where a hostile server starts, the elliptic-curve reply
// included when the modern algorithms are offered first). No crash, the output stays bounded,
// and once closed the machine stays closed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sshlib/transport/ssh_transport.h"

using namespace tessan::transport;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    TransportSettings settings;
    settings.kex.compression = (data[0] & 1) != 0;
    // Small groups keep each run short; the server's own group is the fuzzer's to choose.
    settings.kex.kexPreference = {(data[0] & 2) ? 1 : 3, 0, 0, 0};
    settings.kex.modernFirst = (data[0] & 8) != 0;
    bool closed = false;
    Transport::Callbacks callbacks;
    callbacks.closed = [&](const TransportFailure&) {
        if (closed) abort();  // reported once
        closed = true;
    };
    Transport t(settings, std::move(callbacks));
    const std::string line = "SSH-2.0-OpenSSH_9.2\r\n";
    if (data[0] & 4) t.Feed(reinterpret_cast<const uint8_t*>(line.data()), line.size());
    size_t piece = 1 + (data[0] >> 4);
    for (size_t offset = 1; offset < size; offset += piece) {
        t.Feed(data + offset, std::min(piece, size - offset));
        if (t.PendingOutput().size() > 1024 * 1024) abort();
        t.ConsumeOutput(t.PendingOutput().size());
    }
    if (closed != t.IsClosed()) abort();
    return 0;
}
