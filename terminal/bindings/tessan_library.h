// The SSH library interface on Tessan (libtessan.so): each call is the Ssh... function of the
// same name with the values the terminal uses.
#pragma once

#include "terminal/session/ssh_library.h"

namespace ostrel {

class TessanLibrary final : public SshLibrary {
public:
    TessanLibrary() = default;
    // Undoes an Initialize that was not undone.
    ~TessanLibrary() override;
    TessanLibrary(const TessanLibrary&) = delete;
    TessanLibrary& operator=(const TessanLibrary&) = delete;

    bool Initialize() override;
    void Uninitialize() override;
    bool CreateCredentials(unsigned protocol, SshCredentials& credentials) override;
    void DeleteCredentials(SshCredentials& credentials) override;
    int AsyncConnect(const SshConnectRequest& request) override;
    // SshUninitialize and SshInitializeA again: the library's last uninitialise destroys every
    // handle, and a connect whose handle goes while it waits returns INVALID_CLIENT with
    // KX_ERROR_OPERATION_CANCELED. Any other handle of this program goes too, which is why
    // this is for a program with one connection at a time. When the library cannot be
    // started again, later connects fail with its "not initialised" error.
    void AbortConnect() override;
    int Read(int handle, std::span<char> buffer) override;
    int Write(int handle, std::string_view data) override;
    int Disconnect(int handle) override;
    bool Backlogged(int handle) override;
    std::string Fingerprint(int handle) override;
    std::string FingerprintSha256(int handle) override;
    std::string LastErrorDetail() override;
    int LastError() override;
    // Codes of 1 to 65535 (the error number of an event) are read as library codes.
    int ErrorString(int code, std::span<char> buffer) override;

private:
    bool initialised_ = false;
};

}  // namespace ostrel
