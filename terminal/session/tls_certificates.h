// The certificate fingerprints of the TLS devices the terminal has connected to, remembered per
// host and port the way SSH host keys are (host_keys.h: the same line format and rules, in a
// file of its own), so that a device presenting another certificate than before is noticed.
// Devices use self-signed certificates that no authority vouches for: the session goes on
// either way, and a changed certificate is warned about.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "terminal/session/host_keys.h"

namespace ostrel {

inline constexpr std::string_view kTlsCertificateFileName = "tls_certificates.txt";

class CertificateStore {
public:
    explicit CertificateStore(std::filesystem::path file) : store_(std::move(file)) {}

    // Compares the certificate's SHA-256 fingerprint (colon-separated hex) with the one
    // remembered for the host and port; a new host is remembered. A file made here starts
    // with a comment saying what it holds.
    HostKeyCheck Check(std::string_view host, int port, std::string_view fingerprint);

    const std::filesystem::path& File() const { return store_.File(); }

private:
    HostKeyStore store_;
};

// The Status lines after a check: the warning when the certificate changed, and why the file
// could not be read or written. None when the certificate is the remembered or a new one.
std::vector<std::string> CertificateCheckLines(std::string_view host, int port,
                                               std::string_view presented,
                                               const HostKeyCheck& check,
                                               const std::filesystem::path& file);

}  // namespace ostrel
