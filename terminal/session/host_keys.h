// The host key fingerprints of the SSH devices the terminal has connected to, remembered per
// host and port, so that a device presenting another key than before is noticed. The SSH
// session gives the library the remembered key to expect, so a device with another key is
// refused before the password leaves; a host seen for the first time is remembered (trust on
// first use). Forgetting a host's line accepts its next key.
//
// The file ("ssh_host_keys.txt" in the per-user folder) is plain text, one line per host and
// port, LF or CR LF line ends (CRs at the end of a line are not part of it):
//
//     # comment lines start with '#'; empty lines are allowed
//     192.168.1.20 22 3f:9a:07:5b:22:10:c4:8e:91:aa:60:0d:e2:7c:35:c1 SHA256:q0B6...7Gk
//
// A line holds the host as typed in the dialog, the port in decimal (0 to 65535), the host key
// fingerprint (the MD5 form) and, on lines written since the SHA-256 form is known, that form
// too, separated by blanks or tabs. Hosts are 1 to 255 bytes without blanks or control
// characters and not starting with '#'; they and the MD5 fingerprints (1 to 128 hex digits and
// colons) are compared without regard to case, the SHA-256 form ("SHA256:" and 43 Base64
// characters, as ssh-keygen -l prints it) byte for byte. A line without the SHA-256 form
// matches on the MD5 form alone. Of several lines for one host and port the first counts. Lines
// that do not fit this form are kept as they are when the file is rewritten, and otherwise ignored.
// A file above kMaxHostKeyFileBytes is not read.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

inline constexpr std::string_view kHostKeyFileName = "ssh_host_keys.txt";
inline constexpr std::size_t kMaxHostKeyFileBytes = 4 * 1024 * 1024;
inline constexpr std::size_t kMaxHostKeyHost = 255;
inline constexpr std::size_t kMaxFingerprint = 128;

struct HostKeyEntry {
    std::string host;
    int port = 0;
    std::string fingerprint;
    std::string sha256;  // "SHA256:..." or empty (a line written before it was known)
    friend bool operator==(const HostKeyEntry&, const HostKeyEntry&) = default;
};

// The file's lines, with the entries read from them.
class HostKeyList {
public:
    static HostKeyList Parse(std::string_view text);
    // The text of the file: every line kept, each ended by LF.
    std::string Format() const;

    // The first entry for the host and port, or nullptr.
    const HostKeyEntry* Find(std::string_view host, int port) const;
    // Appends an entry. False (nothing added) when the host, port or fingerprints cannot be
    // written so that they read back the same. `sha256` may be empty.
    bool Add(std::string_view host, int port, std::string_view fingerprint,
             std::string_view sha256 = {});

    // Removes every entry for the host and port; how many there were.
    int Remove(std::string_view host, int port);

    std::vector<HostKeyEntry> Entries() const;
    bool Empty() const { return lines_.empty(); }

private:
    struct Line {
        std::string text;
        std::optional<HostKeyEntry> entry;
    };
    std::vector<Line> lines_;
};

// The line of a host key list for an entry, or nullopt when it cannot be one (see the top).
std::optional<std::string> HostKeyLine(std::string_view host, int port,
                                       std::string_view fingerprint, std::string_view sha256 = {});

enum class HostKeyVerdict {
    New,      // not seen before; now remembered (unless `error` says otherwise)
    Known,    // the remembered fingerprint
    Changed,  // another fingerprint than the remembered one
};

struct HostKeyCheck {
    HostKeyVerdict verdict = HostKeyVerdict::New;
    std::string remembered;        // the fingerprint on file (Known, Changed)
    std::string rememberedSha256;  // its SHA-256 form, when the line has one
    std::string error;             // why the file could not be read or written; empty when it could
};

// The file of remembered fingerprints. It is read on every check, so edits made meanwhile
// (a line removed by the integrator) count at once.
class HostKeyStore {
public:
    explicit HostKeyStore(std::filesystem::path file) : file_(std::move(file)) {}

    // Compares the fingerprints with the ones remembered for the host and port (the SHA-256
    // form only where both sides have it). A new host is added to the file with both (written
    // to a new file beside it, then renamed over it; the folder is created when missing). A
    // file that cannot be read is left alone.
    HostKeyCheck Check(std::string_view host, int port, std::string_view fingerprint,
                       std::string_view sha256 = {});

    // The entry remembered for the host and port, if any (a file that cannot be read has none;
    // `error` says why when given).
    std::optional<HostKeyEntry> Remembered(std::string_view host, int port,
                                           std::string* error = nullptr) const;

    // Removes the host and port's lines from the file (rewritten as Check writes it): how many
    // there were, or -1 when the file could not be read or written (`error` says why).
    int Forget(std::string_view host, int port, std::string& error);

    const std::filesystem::path& File() const { return file_; }

private:
    std::filesystem::path file_;
};

}  // namespace ostrel
