// Opening the TCP connection of an SSH session: directly to the host, or through an HTTP
// CONNECT or telnet-style proxy.
#pragma once

#include <string>

#include "platform/platform_types.h"

namespace tessan::net {

inline constexpr int kProxyNone = 0;
inline constexpr int kProxyHttp = 1;
inline constexpr int kProxyTelnet = 2;
inline constexpr int kDefaultSshPort = 22;

struct ProxySettings {
    int type = kProxyNone;
    std::string host;
    int port = 0;  // 0: 80 for HTTP, 23 for telnet
    std::string user;
    std::string password;
    std::string telnetCommand = "connect %host %port\n";
};

struct ConnectRequest {
    std::string host;
    int port = kDefaultSshPort;           // negative: 22
    const ProxySettings* proxy = nullptr;  // NULL or type kProxyNone: direct
    int timeoutMs = -1;                    // bounds lookup, connect and proxy dialogue; <0: none
};

struct Connection {
    int socket = -1;            // connected, non-blocking, out-of-band data inline, no Nagle delay
    std::string canonicalName;  // of the host (or the text as given, through a proxy)
};

// Opens the connection. A proxy is used unless the host is "localhost" or 127.x.x.x; the host
// name then goes to the proxy as text and only the proxy's name is looked up here. Each address
// of the lookup is tried in turn until one connects. Every wait pumps the calling thread's
// messages (unless its no-pump flag is set) and the whole call ends within timeoutMs.
// Returns 0 with `out` filled, or -1 with the error number (socket-style or library number;
// also LastSocketError()) in *error and no socket left open:
//   11001.. (lookup), 10061, 10060, 10065, 10051, ... (connect), 10004 (cancelled),
//   10036 (the thread already waits), 12210 (unknown proxy type), 12205 (the proxy refused or
//   answered something other than a 2xx HTTP status line, or a line or header beyond its
//   limit), 12256 (the proxy closed the connection during the dialogue), 10060 (time is up).
int OpenConnection(const ConnectRequest& request, Connection& out, DWORD* error);

}  // namespace tessan::net
