// The SSH library the SSH Client session calls: Tessan's Ssh... functions, behind an interface
// so that the session logic needs neither the library nor the platform layer to be built and
// tested. `TessanLibrary` (tessan_library.h) is the real one.
//
// Conventions (those of the library):
//  - Handles are 32-bit values; -1 is the failure result of the connect and of the calls that
//    return a count or a status.
//  - A failing call sets the calling thread's last error (LastError): 0x80040000 plus a number,
//    so negative as an int. Events carry only that number (the low 16 bits); ErrorString
//    accepts either form.
//  - Events arrive as message kSshMessage to the event window given at connect, on the thread
//    that connected: wParam the handle, lParam the event in the low 16 bits and the error
//    number in the high 16 bits. The connect event is delivered before AsyncConnect returns.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "terminal/session/error_source.h"

namespace ostrel {

// The private message that carries the SSH library's events to the main window.
inline constexpr unsigned kSshMessage = 5123;  // WM_USER + 4099

// Events: the low 16 bits of an event's lParam.
inline constexpr std::uint16_t kSshEventConnect = 1;
inline constexpr std::uint16_t kSshEventDisconnect = 2;
inline constexpr std::uint16_t kSshEventRead = 4;

// The last error of a connect the library refused because the server's host key is not the
// one expected (KX_ERROR_HOST_KEY_MISMATCH): nothing, the password included, was sent.
inline constexpr std::uint32_t kSshErrorHostKeyMismatch = 0x80042F48;

// Values the terminal connects with.
inline constexpr unsigned kSshSecurityProtocol = 48;  // protocol 2, protocol 1 as fall-back
inline constexpr unsigned kSshConnectTimeout = 5;     // seconds; the session's timeout is not used
inline constexpr unsigned kSshConnectOptions = 0;

// The platform window (an HWND) that receives kSshMessage.
using SshEventWindow = void*;
// A credentials record of the library (LPSECURITYCREDENTIALS); nullptr when none.
using SshCredentials = void*;

struct SshConnectRequest {
    std::string_view host;
    int port = 0;
    std::string_view user;
    std::string_view password;
    unsigned timeout = kSshConnectTimeout;
    unsigned options = kSshConnectOptions;
    SshCredentials credentials = nullptr;
    // The fingerprint the server's host key must have ("SHA256:..." or the MD5 hex form); empty
    // accepts any key. Needs credentials to travel in.
    std::string_view expectedHostKey;
    SshEventWindow window = nullptr;
    unsigned message = kSshMessage;
};

class SshLibrary : public ErrorSource {
public:
    // SshInitializeA: false when the library cannot be used.
    virtual bool Initialize() = 0;
    // SshUninitialize for a successful Initialize.
    virtual void Uninitialize() = 0;

    // SshCreateSecurityCredentialsA with the protocol, no options, no user name or password.
    // False on failure (nothing is stored).
    virtual bool CreateCredentials(unsigned protocol, SshCredentials& credentials) = 0;
    // SshDeleteSecurityCredentialsA; sets credentials to nullptr. Nothing for nullptr.
    virtual void DeleteCredentials(SshCredentials& credentials) = 0;

    // SshAsyncConnectA with an options record of the library's size, all other fields zero.
    // Returns the handle once the session runs, or -1. Waits (pumping the thread's messages
    // and the pump step) until then; see AbortConnect.
    virtual int AsyncConnect(const SshConnectRequest& request) = 0;
    // Ends a connect that is waiting on this thread (called from inside its wait, for example
    // from a window's key handler run by the pump step): the connect returns -1 soon. The
    // handle of a connect in progress is not known to its caller, so this acts on the library
    // as a whole; the terminal has at most one connection at a time.
    virtual void AbortConnect() = 0;

    // SshRead: the count, 0 at the end of the data, or -1.
    virtual int Read(int handle, std::span<char> buffer) = 0;
    // SshWrite: the count written, or -1 (0 when the session has ended).
    virtual int Write(int handle, std::string_view data) = 0;
    // SshDisconnect: 0, or -1.
    virtual int Disconnect(int handle) = 0;
    // True while the connection holds 1 MiB or more written earlier that has not left yet
    // (SshIsWritable without waiting refuses for that reason alone, setting no error).
    virtual bool Backlogged(int handle) = 0;
    // The host key fingerprint of the connection (SshGetSecurityInformationA); empty when the
    // library has none.
    virtual std::string Fingerprint(int handle) = 0;
    // Its SHA-256 form, "SHA256:" and unpadded Base64 as ssh-keygen -l prints it; empty when
    // the library has none.
    virtual std::string FingerprintSha256(int handle) = 0;
    // What the library says beyond the code about the calling thread's last error
    // (SshGetErrorDetailA), such as which kind of algorithm a failed negotiation found nothing
    // in common for and what the server offered; empty when there is nothing.
    virtual std::string LastErrorDetail() = 0;
};

}  // namespace ostrel
