#include "terminal/session/host_keys.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace ostrel {
namespace {

constexpr std::string_view kNewFileHeader =
    "# SSH host key fingerprints remembered by Ostrel: host, port and fingerprint (MD5, then\n"
    "# SHA-256), one device per line. Remove a device's line when its key was changed on\n"
    "# purpose.\n";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

bool ValidHost(std::string_view host) {
    if (host.empty() || host.size() > kMaxHostKeyHost || host.front() == '#') return false;
    for (char c : host) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 32 || byte == 127) return false;
    }
    return true;
}

bool ValidFingerprint(std::string_view fingerprint) {
    if (fingerprint.empty() || fingerprint.size() > kMaxFingerprint) return false;
    for (char c : fingerprint) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex && c != ':') return false;
    }
    return true;
}

// "SHA256:" and the unpadded Base64 of a 32-byte digest.
bool ValidSha256(std::string_view text) {
    constexpr std::string_view kPrefix = "SHA256:";
    if (text.size() != kPrefix.size() + 43 || !text.starts_with(kPrefix)) return false;
    for (char c : text.substr(kPrefix.size())) {
        const bool base64 = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '+' || c == '/';
        if (!base64) return false;
    }
    return true;
}

std::optional<int> ParsePort(std::string_view text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    int port = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port > 65535) return std::nullopt;
    return port;
}

// The blank-separated fields of a line; at most five are collected (more make it no entry).
std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size() && fields.size() < 5) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !IsBlank(line[i]))
            ++i;
        if (i > start) fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

std::optional<HostKeyEntry> EntryOf(std::string_view line) {
    const std::vector<std::string_view> fields = Fields(line);
    if (fields.size() != 3 && fields.size() != 4) return std::nullopt;
    const std::optional<int> port = ParsePort(fields[1]);
    if (!ValidHost(fields[0]) || !port || !ValidFingerprint(fields[2])) return std::nullopt;
    if (fields.size() == 4 && !ValidSha256(fields[3])) return std::nullopt;
    return HostKeyEntry{std::string(fields[0]), *port, std::string(fields[2]),
                        fields.size() == 4 ? std::string(fields[3]) : std::string()};
}

std::string SystemReason(int error) {
    return std::generic_category().message(error);
}

// Reads the whole file; a missing file is an empty text.
bool ReadFileText(const std::filesystem::path& file, std::string& text, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return true;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec) {
        error = ec.message();
        return false;
    }
    if (size > kMaxHostKeyFileBytes) {
        error = "the file is larger than 4 MiB";
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = SystemReason(errno);
        return false;
    }
    text.resize(static_cast<std::size_t>(size));
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return true;
}

// Writes the text to a new file beside `file` and renames it over `file`, so that a failure
// leaves the old file as it was.
bool ReplaceFileText(const std::filesystem::path& file, std::string_view text, std::string& error) {
    std::error_code ec;
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
    std::filesystem::path fresh = file;
    fresh += ".new";
    const int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = SystemReason(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = SystemReason(errno);
            ::close(fd);
            ::unlink(fresh.c_str());
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 || ::rename(fresh.c_str(), file.c_str()) != 0) {
        error = SystemReason(errno);
        ::unlink(fresh.c_str());
        return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> HostKeyLine(std::string_view host, int port,
                                       std::string_view fingerprint, std::string_view sha256) {
    if (!ValidHost(host) || port < 0 || port > 65535 || !ValidFingerprint(fingerprint) ||
        (!sha256.empty() && !ValidSha256(sha256)))
        return std::nullopt;
    std::string line(host);
    line += ' ';
    line += std::to_string(port);
    line += ' ';
    line += fingerprint;
    if (!sha256.empty()) {
        line += ' ';
        line += sha256;
    }
    return line;
}

HostKeyList HostKeyList::Parse(std::string_view text) {
    HostKeyList list;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        // Every CR at the end goes, so that a line reads back the same after a rewrite.
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        list.lines_.push_back({std::string(line), EntryOf(line)});
    }
    return list;
}

std::string HostKeyList::Format() const {
    std::string text;
    for (const Line& line : lines_) {
        text += line.text;
        text += '\n';
    }
    return text;
}

const HostKeyEntry* HostKeyList::Find(std::string_view host, int port) const {
    for (const Line& line : lines_)
        if (line.entry && line.entry->port == port && SameIgnoringCase(line.entry->host, host))
            return &*line.entry;
    return nullptr;
}

bool HostKeyList::Add(std::string_view host, int port, std::string_view fingerprint,
                      std::string_view sha256) {
    std::optional<std::string> text = HostKeyLine(host, port, fingerprint, sha256);
    if (!text) return false;
    std::optional<HostKeyEntry> entry = EntryOf(*text);
    lines_.push_back({std::move(*text), std::move(entry)});
    return true;
}

int HostKeyList::Remove(std::string_view host, int port) {
    const auto matches = [&](const Line& line) {
        return line.entry && line.entry->port == port && SameIgnoringCase(line.entry->host, host);
    };
    const auto removed = std::erase_if(lines_, matches);
    return static_cast<int>(removed);
}

std::vector<HostKeyEntry> HostKeyList::Entries() const {
    std::vector<HostKeyEntry> entries;
    for (const Line& line : lines_)
        if (line.entry) entries.push_back(*line.entry);
    return entries;
}

HostKeyCheck HostKeyStore::Check(std::string_view host, int port, std::string_view fingerprint,
                                 std::string_view sha256) {
    HostKeyCheck check;
    std::string text;
    if (!ReadFileText(file_, text, check.error)) {
        check.error = file_.string() + " could not be read: " + check.error;
        return check;
    }
    HostKeyList list = HostKeyList::Parse(text.empty() ? kNewFileHeader : std::string_view(text));
    if (const HostKeyEntry* known = list.Find(host, port)) {
        check.remembered = known->fingerprint;
        check.rememberedSha256 = known->sha256;
        const bool sameSha256 = known->sha256.empty() || sha256.empty() || known->sha256 == sha256;
        check.verdict = SameIgnoringCase(known->fingerprint, fingerprint) && sameSha256
                            ? HostKeyVerdict::Known
                            : HostKeyVerdict::Changed;
        return check;
    }
    if (!list.Add(host, port, fingerprint, sha256)) {
        check.error = "the host name or fingerprint cannot be written to " + file_.string();
        return check;
    }
    if (std::string reason; !ReplaceFileText(file_, list.Format(), reason))
        check.error = file_.string() + " could not be written: " + reason;
    return check;
}

std::optional<HostKeyEntry> HostKeyStore::Remembered(std::string_view host, int port,
                                                     std::string* error) const {
    std::string text;
    std::string reason;
    if (!ReadFileText(file_, text, reason)) {
        if (error) *error = file_.string() + " could not be read: " + reason;
        return std::nullopt;
    }
    const HostKeyList list = HostKeyList::Parse(text);
    const HostKeyEntry* known = list.Find(host, port);
    return known ? std::optional<HostKeyEntry>(*known) : std::nullopt;
}

int HostKeyStore::Forget(std::string_view host, int port, std::string& error) {
    std::string text;
    if (!ReadFileText(file_, text, error)) {
        error = file_.string() + " could not be read: " + error;
        return -1;
    }
    HostKeyList list = HostKeyList::Parse(text);
    const int removed = list.Remove(host, port);
    if (removed == 0) return 0;
    if (std::string reason; !ReplaceFileText(file_, list.Format(), reason)) {
        error = file_.string() + " could not be written: " + reason;
        return -1;
    }
    return removed;
}

}  // namespace ostrel
