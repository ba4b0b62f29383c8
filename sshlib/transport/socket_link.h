// Drives a Transport from a connected, non-blocking socket of the network layer: received bytes
// are fed in, pending output is written, the end of the stream is reported, and a closed
// transport's socket is closed after what it still has to say has been written.
//
// Blocking mode: RunUntil waits with the network layer's pumping wait (the calling thread's
// messages keep flowing) and fires the time-based re-key when it is due.
// Event-driven mode: after PlatformAsyncSelect(socket, window, message, PLATFORM_FD_ALL_EVENTS)
// the window procedure hands each notification to OnSocketEvent; a window timer set to
// Transport::MillisecondsToTimer() calls Transport::CheckTimer and then Flush.
#pragma once

#include <cstdint>
#include <functional>

#include "crypto/secure_memory.h"
#include "platform/platform_types.h"
#include "sshlib/transport/ssh_transport.h"

namespace tessan::transport {

class SocketLink {
public:
    // Takes over `socket` (closed by the link).
    SocketLink(Transport& transport, int socket);
    ~SocketLink();
    SocketLink(const SocketLink&) = delete;
    SocketLink& operator=(const SocketLink&) = delete;

    int Socket() const { return socket_; }
    bool SocketOpen() const { return socket_ >= 0; }

    // Reads whatever the socket holds without waiting, feeds it, then writes pending output.
    void Pump();
    // Writes pending output as far as the socket takes it without waiting.
    void Flush();
    // One socket notification (a PLATFORM_FD_ event and its socket error number).
    void OnSocketEvent(unsigned event, unsigned error);

    // Pumps until `done()` holds (0), the transport ends (its failure's error number, 12256 for
    // an end without one), `timeoutMs` passes (10060; negative: no limit), or the wait fails
    // (its error: 10004 cancelled, 10036 nested wait). Reading stops as soon as `done()` holds:
    // what the server sent beyond that waits in the socket until it is asked for, so the bytes
    // held here stay near one read however large the window offered to the server.
    DWORD RunUntil(const std::function<bool()>& done, int timeoutMs);

    // Closes the socket now (pending output that the socket takes without waiting goes first).
    void CloseSocket();

    // Event-driven mode: a read notification finding `full()` true reads nothing, and reading
    // is held back until ResumeReading, so a caller that does not read holds about this limit
    // instead of the whole window; the rest waits in the socket. The end of the stream is still
    // read in full.
    void SetReadLimit(std::function<bool()> full) { full_ = std::move(full); }
    // Called when the caller has taken data: reading held back resumes through a new read
    // notification if the socket holds data.
    void ResumeReading();

private:
    // Reads and feeds what the socket holds without waiting, within the read budget; with
    // `enough`, stops as soon as it holds. `toTheEnd` reads past the budget (the peer has
    // closed: what it sent before must not be lost).
    void ReadAvailable(const std::function<bool()>* enough = nullptr, bool toTheEnd = false);
    void AfterActivity();

    Transport& transport_;
    int socket_;
    std::function<bool()> full_;
    bool heldBack_ = false;
    // Received bytes are decrypted where they lie, so this holds plaintext: wiped when freed.
    SecureBytes buffer_;
};

}  // namespace tessan::transport
