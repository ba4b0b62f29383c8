// The TCP Server session: listens on the record's port, shows what any client sends, and
// broadcasts every line sent to all connected clients.
#pragma once

#include "terminal/session/network_session.h"

namespace ostrel {

// The values passed to the server start: listen backlog, read buffer per client in KiB, seconds a
// client may take no data before it is dropped, and two values the library does not use.
inline constexpr int kServerBacklog = 5;
inline constexpr int kServerClientBufferKiB = 64;
inline constexpr int kServerStallSeconds = 20;
inline constexpr int kServerReserved1 = 2;
inline constexpr int kServerReserved2 = 8;

class TcpServerSession final : public Session {
public:
    TcpServerSession(SessionServices& services, Tessnet& net, TessnetErrors& errors);

    void Open() override;
    // Stops listening and disconnects every client.
    int Close() override;
    // One broadcast to every connected client.
    long Write(std::string_view data) override;
    ErrorSource* Errors() override { return &errors_; }

    // The server's per-client notifications.
    void OnClientEvent(int client, int event, int error);

private:
    SessionServices& services_;
    Tessnet& net_;
    TessnetErrors& errors_;
    int server_ = -1;
    // Counts listeners: a client event of an earlier listener carries an older number and is
    // dropped, whatever the library still delivers after that listener was closed.
    unsigned listener_ = 0;
};

}  // namespace ostrel
