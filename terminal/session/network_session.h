// What the four network session types share: the socket library, the handle they hold and the
// read of a read event.
#pragma once

#include <span>
#include <string_view>

#include "terminal/session/session.h"
#include "terminal/session/tessnet.h"

namespace ostrel {

// The socket library's errors as the session model reports them.
class TessnetErrors final : public ErrorSource {
public:
    explicit TessnetErrors(Tessnet& net) : net_(net) {}
    int LastError() override { return net_.InetGetLastError(); }
    int ErrorString(int code, std::span<char> buffer) override {
        return net_.InetGetErrorStringA(code, buffer);
    }

private:
    Tessnet& net_;
};

// Size of the buffer each read call fills.
inline constexpr std::size_t kReceiveBufferSize = 4096;

class NetworkSession : public Session {
public:
    // Disconnects the handle the session holds (0 when it holds none) and forgets it: the
    // library's notifications of a closed handle, its own disconnect notification included,
    // match no session afterwards.
    int Close() override;
    // One write to the peer of the handle.
    long Write(std::string_view data) override;
    OutputBacklog Backlog() override;
    ErrorSource* Errors() override { return &errors_; }

    // The handle notifications of this session carry; -1 when it holds none.
    int Handle() const { return handle_; }

    // A read event: reads until nothing waits, echoes each piece back with remote echo on, and
    // shows everything read as one incoming chunk.
    void ReadEvent();

protected:
    NetworkSession(SessionServices& services, Tessnet& net, TessnetErrors& errors,
                   InetEventTarget& target);
    // Before a new open: a handle still held (Restart opens without closing first) is closed
    // quietly, so that an old connection neither leaks nor keeps delivering data.
    void ReleaseHeldHandle();
    // Records the result of an open call.
    void Adopt(int handle);
    // Remote echo of one piece read, which came from source:sourcePort. Returns the library's
    // result (-1 on failure).
    virtual int Echo(std::string_view piece, const InetAddress& source, unsigned sourcePort);
    // After the pieces of a read event were read and shown.
    virtual void AfterRead() {}
    // The handle was closed by Close: reports the end of the session.
    virtual void OnClosedHere();

    SessionServices& services_;
    Tessnet& net_;
    TessnetErrors& errors_;
    InetEventTarget& target_;
    int handle_ = -1;
    bool held_ = false;
};

// The three Status lines after a client failed to open: the failure, the host and the port.
void ShowOpenFailure(SessionServices& services, std::string_view failure, std::string_view host,
                     std::string_view port);

}  // namespace ostrel
