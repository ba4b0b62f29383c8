// Tessnet, the socket and TLS component the network sessions call: the Inet... functions with
// their handles, last error and error texts. QtTessnet (bindings/qt_tessnet.h) implements it on
// QtNetwork; tests put a scripted one in its place.
//
// Conventions of every call:
//  - Handles are positive ints that are never reused while the library is initialised;
//    -1 is the failure result of calls returning a handle or a count.
//  - A failing call sets the last error (InetGetLastError) to a socket-style error number
//    (10000-11999, the numbering of Windows Sockets, so that integrators recognise them) or to a
//    library code (12000 and up); InetGetErrorStringA gives its text.
//  - Notifications are never delivered from inside a call: they arrive later, on the thread
//    that made the call, through the event target or server callback given at open.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace ostrel {

// The private message that carries socket notifications to the main window.
inline constexpr unsigned kSocketMessage = 5122;  // WM_USER + 4098

// Notification events: the low 16 bits of a notification parameter. The server callback uses the
// same numbers.
inline constexpr std::uint16_t kInetEventConnect = 2;
inline constexpr std::uint16_t kInetEventDisconnect = 4;
inline constexpr std::uint16_t kInetEventRead = 8;

inline constexpr std::uint32_t MakeInetParam(std::uint16_t event, std::uint16_t error) {
    return static_cast<std::uint32_t>(event) | static_cast<std::uint32_t>(error) << 16;
}
inline constexpr std::uint16_t InetEventOf(std::uint32_t param) {
    return static_cast<std::uint16_t>(param & 0xFFFF);
}
inline constexpr std::uint16_t InetErrorOf(std::uint32_t param) {
    return static_cast<std::uint16_t>(param >> 16);
}

inline constexpr int kProtocolTcp = 6;
inline constexpr int kProtocolUdp = 17;

// Connect option: the connection is secured with the credentials passed along.
inline constexpr unsigned kInetOptionSecure = 4096;

// Security-protocol bits of InetCreateSecurityCredentialsA.
inline constexpr unsigned kSecuritySsl2 = 1;
inline constexpr unsigned kSecuritySsl3 = 2;
inline constexpr unsigned kSecurityTls1 = 8;

// Error numbers the library sets (socket-style first, then its own).
enum InetError : int {
    kInetOk = 0,
    kInetErrorInterrupted = 10004,
    kInetErrorAccess = 10013,
    kInetErrorInvalidArgument = 10022,
    kInetErrorTooManySockets = 10024,
    kInetErrorWouldBlock = 10035,
    kInetErrorNotSocket = 10038,
    kInetErrorMessageSize = 10040,
    kInetErrorProtocolNotSupported = 10043,
    kInetErrorAddressInUse = 10048,
    kInetErrorAddressNotAvailable = 10049,
    kInetErrorNetworkDown = 10050,
    kInetErrorNetworkUnreachable = 10051,
    kInetErrorConnectionAborted = 10053,
    kInetErrorConnectionReset = 10054,
    kInetErrorNoBuffers = 10055,
    kInetErrorNotConnected = 10057,
    kInetErrorShutdown = 10058,
    kInetErrorTimedOut = 10060,
    kInetErrorConnectionRefused = 10061,
    kInetErrorHostUnreachable = 10065,
    kInetErrorNotInitialised = 10093,
    kInetErrorHostNotFound = 11001,
    kInetErrorTryAgain = 11002,
    // The library's own codes.
    kInetErrorTlsHandshake = 12001,       // the TLS handshake failed (details in the text)
    kInetErrorTlsProtocol = 12002,        // SSL 2.0 / SSL 3.0 asked for; no TLS library offers them
    kInetErrorTlsUnavailable = 12003,     // no TLS support on this machine
    kInetErrorCredentials = 12004,        // the credentials handle is not valid
    kInetErrorStalledClient = 12005,      // a server client took no data for too long
    kInetErrorUnknown = 12099,
};

// A network address as the library reports it. IPv4-mapped IPv6 addresses are reported as IPv4.
struct InetAddress {
    enum class Family : std::uint8_t { None = 0, V4 = 4, V6 = 6 };
    Family family = Family::None;
    std::array<std::uint8_t, 16> bytes{};  // V4 uses the first four, in network order
    friend bool operator==(const InetAddress&, const InetAddress&) = default;
};

// The "window" of the asynchronous calls: it receives the notifications of a handle, as a
// window procedure would receive the private message.
class InetEventTarget {
public:
    virtual ~InetEventTarget() = default;
    // param = event | error << 16.
    virtual void OnSocketMessage(unsigned message, int handle, std::uint32_t param) = 0;
};

// Per client of a TCP server: connect, read and disconnect events with an error number (0 = none).
using InetServerCallback = std::function<void(int client, int event, int error)>;

// Security credentials: 0 stands for none.
using InetCredentials = int;

// What the library can tell about the peer of a secure connection.
struct InetSecurityInfo {
    std::string protocol;     // "TLS 1.0" ... "TLS 1.3"
    std::string cipher;       // the negotiated cipher suite
    std::string subject;      // "CN=..., O=..." of the peer certificate
    std::string sha256;       // fingerprint as colon-separated upper-case hex pairs
    bool verified = false;    // the chain verified against the system's trusted authorities
    std::string verifyError;  // why it did not verify (empty when verified)
};

class Tessnet {
public:
    virtual ~Tessnet() = default;

    // Starts the library. reserved and flags are not used. Returns 0 on failure.
    virtual int InetInitializeA(std::string_view reserved, unsigned flags) = 0;
    // Closes every handle and releases every credential; later calls fail with 10093 until the
    // library is initialised again.
    virtual void InetUninitialize() = 0;

    // Starts connecting to host:port over TCP (protocol 6) or UDP (17) and returns the handle at
    // once; the host name is resolved without blocking. timeout: seconds until a connect that has
    // not completed fails with 10060 (0: the system's own limit). options and reserved: 0.
    // TCP: a connect event follows, with error 0 once connected or the failure's number; after a
    // successful connect, read events while data waits and one disconnect event when the peer
    // closes or the handle is closed with InetDisconnect.
    // UDP: no connect event on success (datagram sockets do not connect); a connect event with
    // the failure's number when the host cannot be resolved; read events while datagrams wait.
    // Fails at once (-1) for an unknown protocol (10043), a port outside 1-65535 (10049) or when
    // not initialised (10093).
    virtual int InetAsyncConnectA(std::string_view host, unsigned port, int protocol,
                                  unsigned timeout, unsigned options, unsigned reserved,
                                  InetEventTarget* window, unsigned message) = 0;

    // As InetAsyncConnectA, with a local address and port to bind (empty and 0 for any) and
    // credentials. TCP with option kInetOptionSecure: the connect event comes after the TLS
    // handshake. UDP bound to a local port receives datagrams from every sender; a remote address
    // of "0.0.0.0" means the socket has no peer, so writes fail with 10049. A local port in use
    // fails at once with 10048.
    virtual int InetAsyncConnectExA(std::string_view host, unsigned port, int protocol,
                                    unsigned timeout, unsigned options,
                                    std::string_view localAddress, unsigned localPort,
                                    InetCredentials credentials, InetEventTarget* window,
                                    unsigned message) = 0;

    // Creates TLS client credentials for a set of kSecurity... bits. A set holding both SSL 3.0
    // and TLS 1.0 (10) negotiates the best version both sides allow (TLS 1.0 to 1.3); a set of
    // TLS 1.0 alone (8, optionally with SSL 2.0) speaks exactly TLS 1.0; sets without TLS 1.0
    // fail with 12002, since no current TLS library offers SSL 2.0 or 3.0. The certificate and
    // user texts are not used (no client certificates). Peer certificates are never refused:
    // devices use self-signed ones; InetGetSecurityInfo tells whether it verified.
    // Returns non-zero and stores the credentials on success; 0 on failure.
    virtual int InetCreateSecurityCredentialsA(unsigned protocols, unsigned options,
                                               std::string_view certificateStore,
                                               std::string_view certificateName,
                                               std::string_view userName,
                                               std::string_view password, unsigned reserved,
                                               InetCredentials* credentials) = 0;
    // Releases credentials; connections made with them are not affected. 0 is ignored.
    virtual void InetDeleteSecurityCredentialsA(InetCredentials credentials) = 0;

    // Starts a TCP server listening on localAddress (empty: every interface) and port.
    //  backlog          pending connections the system queues before accepting (5)
    //  clientBufferKiB  read buffer per client; a client sending faster than it is read waits in
    //                   TCP flow control instead of growing memory (64)
    //  stallSeconds     a client that takes none of the data written to it for this long is
    //                   disconnected, so a stalled client cannot hold memory without bound (20;
    //                   0 never)
    //  reserved1, reserved2  not used (2, 8)
    // The callback receives each client's connect, read and disconnect events; a client's handle
    // is released after its disconnect event. Returns the server handle, or -1 (10048 when the
    // port is in use, 10013 when it may not be used).
    virtual int InetServerStartA(std::string_view localAddress, unsigned port, int backlog,
                                 int clientBufferKiB, int stallSeconds, int reserved1,
                                 int reserved2, InetServerCallback callback,
                                 unsigned message) = 0;
    // Writes data to every connected client of a server. Returns the data's length (also with
    // no client connected) or -1.
    virtual int InetServerBroadcast(int server, std::string_view data) = 0;

    // The peer address and port of a connected handle. Returns 0, or -1.
    virtual int InetGetPeerAddress(int handle, InetAddress* address, unsigned* port) = 0;
    // Writes the address as text (dotted decimal for IPv4) with a terminating zero, cut to the
    // buffer. Returns the length written without the zero, or -1 for an empty address.
    virtual int InetFormatAddressA(const InetAddress& address, std::span<char> buffer) = 0;

    // Reads up to buffer.size() bytes of a TCP handle. Returns the count (0 when nothing waits),
    // or -1.
    virtual int InetRead(int handle, std::span<char> buffer) = 0;
    // As InetRead, for every kind of handle, with the sender of the data. A UDP datagram larger
    // than the buffer is returned over several calls, never cut, and the sender is that of the
    // datagram the bytes came from. flags: 0. Returns the count, 0 when nothing waits, or -1.
    virtual int InetReadEx(int handle, std::span<char> buffer, unsigned flags,
                           InetAddress* source, unsigned* sourcePort) = 0;
    // Writes all of data (TCP: queued in order; UDP: one datagram of at most 65507 bytes).
    // Returns the length, or -1.
    virtual int InetWrite(int handle, std::string_view data) = 0;
    // UDP: one datagram of at most 65507 bytes to address and port, whether or not the socket
    // has a peer (a socket without one answers whoever sent to it). Returns the length, or -1:
    // 10038 for a handle that is not a UDP socket, 10049 for an empty address or port 0, 10040
    // for a datagram too large.
    virtual int InetWriteTo(int handle, std::string_view data, const InetAddress& address,
                            unsigned port) = 0;
    // Bytes written to a TCP handle (client or server's client) that the library still holds
    // because the peer has not taken them yet; 0 for other handles; -1 for an invalid handle.
    virtual long InetGetWriteBacklog(int handle) = 0;
    // Closes a handle: a TCP connection is shut down after its queued data is sent. Returns 0,
    // or the error number when the handle is not valid.
    virtual int InetDisconnect(int handle) = 0;

    // The number of the last failure on this thread; 0 when none.
    virtual int InetGetLastError() = 0;
    // Writes the text of an error number with a terminating zero, cut to the buffer. Returns the
    // length written without the zero; 0 when the library has no text for the number.
    virtual int InetGetErrorStringA(int code, std::span<char> buffer) = 0;

    // The security details of a connected secure handle. Returns false for any other handle.
    virtual bool InetGetSecurityInfo(int handle, InetSecurityInfo* info) = 0;
};

}  // namespace ostrel
