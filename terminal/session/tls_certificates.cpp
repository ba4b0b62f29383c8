#include "terminal/session/tls_certificates.h"

#include <fcntl.h>
#include <unistd.h>

#include <system_error>

namespace ostrel {
namespace {

constexpr std::string_view kNewFileHeader =
    "# TLS certificate fingerprints (SHA-256) remembered by Ostrel: host, port and fingerprint,\n"
    "# one device per line. Remove a device's line when its certificate was changed on purpose.\n";

// A file that does not exist yet is made with the header alone, only readable by its owner; the
// store then adds the first line to it.
void CreateWithHeader(const std::filesystem::path& file) {
    std::error_code ec;
    if (std::filesystem::exists(file, ec) || ec) return;
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return;  // the store says why when it cannot write either
    const ssize_t written = ::write(fd, kNewFileHeader.data(), kNewFileHeader.size());
    ::close(fd);
    if (written != static_cast<ssize_t>(kNewFileHeader.size())) std::filesystem::remove(file, ec);
}

}  // namespace

HostKeyCheck CertificateStore::Check(std::string_view host, int port,
                                     std::string_view fingerprint) {
    CreateWithHeader(store_.File());
    return store_.Check(host, port, fingerprint);
}

std::vector<std::string> CertificateCheckLines(std::string_view host, int port,
                                               std::string_view presented,
                                               const HostKeyCheck& check,
                                               const std::filesystem::path& file) {
    std::vector<std::string> lines;
    if (check.verdict == HostKeyVerdict::Changed) {
        lines.push_back("WARNING: the TLS certificate of " + std::string(host) + " port " +
                        std::to_string(port) + " has CHANGED since the last connection!");
        lines.push_back("   Remembered fingerprint: " + check.remembered);
        lines.push_back("   Presented fingerprint:  " + std::string(presented));
        lines.push_back(
            "This may be another device, or someone between you and the device. The "
            "session stays open. If the device's certificate was changed on purpose, "
            "remove its line from " +
            file.string() + "...");
    }
    if (!check.error.empty()) lines.push_back("Remembered certificates: " + check.error + "...");
    return lines;
}

}  // namespace ostrel
