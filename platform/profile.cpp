// Profile files on disk: the bounded read, the replace-by-rename write, and the buffer rules of
// the two calls. The text itself is handled by profile_text.cpp.
#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile_text.h"

// What reading a profile file found.
enum class ReadResult { Ok, Missing, TooLarge, Failed };

namespace {

std::mutex gProfileLock;

// Session files hold an encoded password: buffers that held file text are cleared before they
// are released.
void Wipe(char* data, std::size_t size) {
    volatile char* bytes = data;  // volatile: the stores are not dropped as dead
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = 0;
}

struct WipedText {
    std::string text;
    WipedText() = default;
    WipedText(const WipedText&) = delete;
    WipedText& operator=(const WipedText&) = delete;
    ~WipedText() { Wipe(text.data(), text.size()); }
};

struct WipedChunk {
    char bytes[65536];
    std::size_t used = 0;  // the most bytes one read put here
    WipedChunk() = default;
    WipedChunk(const WipedChunk&) = delete;
    WipedChunk& operator=(const WipedChunk&) = delete;
    ~WipedChunk() { Wipe(bytes, used); }
};

DWORD ErrorOfErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case ENOENT:
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        default:
            return ERROR_WRITE_FAULT;
    }
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

// Reads at most limit bytes of the file; TooLarge when it holds more (text then holds the first
// limit bytes).
ReadResult ReadFile(const char* path, std::size_t limit, std::string& text, int* error) {
    text.clear();
    Fd fd(::open(path, O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (error != nullptr) *error = errno;
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error != nullptr) *error = S_ISDIR(st.st_mode) ? EISDIR : errno;
        return ReadResult::Failed;
    }
    text.reserve(std::min<std::size_t>(static_cast<std::size_t>(st.st_size), limit));
    WipedChunk wiped;
    char* chunk = wiped.bytes;
    while (true) {
        const ssize_t got = ::read(fd.get(), chunk, sizeof wiped.bytes);
        if (got < 0) {
            if (errno == EINTR) continue;
            if (error != nullptr) *error = errno;
            return ReadResult::Failed;
        }
        if (got == 0) break;
        wiped.used = std::max(wiped.used, static_cast<std::size_t>(got));
        const std::size_t room = limit - text.size();
        if (static_cast<std::size_t>(got) > room) {
            text.append(chunk, room);
            return ReadResult::TooLarge;
        }
        text.append(chunk, static_cast<std::size_t>(got));
    }
    return ReadResult::Ok;
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t done = ::write(fd, data.data(), data.size());
        if (done < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(done));
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Replaces the file's contents with data. An existing file is replaced by a new file written
// beside it and renamed over it (so a failure cannot leave half a file), with the old file's
// permissions; a new file is created directly with the permission bits newFileMode. Sets the
// last error and returns false on failure.
bool ReplaceFile(const char* fileName, bool exists, std::string_view data, mode_t newFileMode) {
    std::string target = fileName;
    if (exists) {
        // Through a symbolic link, the file it names is the one replaced.
        if (char* real = ::realpath(fileName, nullptr)) {
            target = real;
            std::free(real);
        }
    } else {
        Fd fd(::open(fileName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, newFileMode));
        if (fd.get() < 0) {
            PlatformSetLastError(ErrorOfErrno(errno));
            return false;
        }
        if (!WriteAll(fd.get(), data) || ::close(fd.release()) != 0) {
            const int error = errno;
            ::unlink(fileName);
            PlatformSetLastError(ErrorOfErrno(error));
            return false;
        }
        return true;
    }

    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) {
        PlatformSetLastError(ErrorOfErrno(errno));
        return false;
    }
    std::string temp = FolderOf(target) + "/.profile-XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    Fd fd(::mkostemp(name.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        // A folder that takes no new file may still hold a file that can be written in place.
        Fd inPlace(::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
        if (inPlace.get() < 0) {
            PlatformSetLastError(ErrorOfErrno(errno));
            return false;
        }
        if (!WriteAll(inPlace.get(), data) || ::close(inPlace.release()) != 0) {
            PlatformSetLastError(ErrorOfErrno(errno));
            return false;
        }
        return true;
    }
    temp.assign(name.data());
    const bool written = ::fchmod(fd.get(), st.st_mode & 07777) == 0 && WriteAll(fd.get(), data) &&
                         ::close(fd.release()) == 0;
    if (!written || ::rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        PlatformSetLastError(ErrorOfErrno(error));
        return false;
    }
    return true;
}

// Copies one string, cut to size - 1 bytes, and a zero byte; returns the bytes copied.
DWORD CopyValue(std::string_view value, LPSTR buffer, DWORD size) {
    if (buffer == nullptr || size == 0) return 0;
    const std::size_t n = std::min<std::size_t>(value.size(), size - 1);
    if (n > 0) std::memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return static_cast<DWORD>(n);
}

// Copies strings each followed by a zero byte and a final zero byte; when they do not fit, the
// last string that fits partly is cut and two zero bytes end the buffer.
DWORD CopyList(const std::vector<std::string_view>& items, LPSTR buffer, DWORD size) {
    if (buffer == nullptr || size == 0) return 0;
    if (size == 1) {
        buffer[0] = '\0';
        return 0;
    }
    std::size_t at = 0;
    for (std::string_view item : items) {
        if (at + item.size() + 1 > size - 1) {
            // Cut: as much of this string as leaves room for the two zero bytes.
            const std::size_t room = at <= size - 2 ? size - 2 - at : 0;
            if (room > 0) std::memcpy(buffer + at, item.data(), room);
            buffer[size - 2] = '\0';
            buffer[size - 1] = '\0';
            return size - 2;
        }
        if (!item.empty()) std::memcpy(buffer + at, item.data(), item.size());
        at += item.size();
        buffer[at++] = '\0';
    }
    buffer[at] = '\0';
    if (at == 0) buffer[1] = '\0';  // an empty list still ends with two zero bytes
    return static_cast<DWORD>(at);
}

DWORD CopyDefault(LPCSTR defaultValue, LPSTR buffer, DWORD size) {
    std::string_view value = defaultValue != nullptr ? defaultValue : "";
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.remove_suffix(1);
    return CopyValue(value, buffer, size);
}

}  // namespace

// A profile file's text as read once, with what the read found.
struct PlatformProfile {
    std::string text;
    ReadResult read = ReadResult::Missing;
    int error = 0;  // of a failed read
    PlatformProfile() = default;
    PlatformProfile(const PlatformProfile&) = delete;
    PlatformProfile& operator=(const PlatformProfile&) = delete;
    ~PlatformProfile() { Wipe(text.data(), text.size()); }
};

namespace {

void Load(PlatformProfile& profile, LPCSTR fileName) {
    if (fileName == nullptr || fileName[0] == '\0') {
        profile.read = ReadResult::Missing;
        return;
    }
    std::lock_guard lock(gProfileLock);
    profile.read = ReadFile(fileName, PLATFORM_PROFILE_MAX_FILE, profile.text, &profile.error);
}

bool Readable(const PlatformProfile& profile) {
    return profile.read == ReadResult::Ok || profile.read == ReadResult::TooLarge;
}

DWORD Get(const PlatformProfile& profile, LPCSTR section, LPCSTR key, LPCSTR defaultValue,
          LPSTR buffer, DWORD size) {
    if (!Readable(profile)) {
        const DWORD copied = CopyDefault(defaultValue, buffer, size);
        PlatformSetLastError(ERROR_FILE_NOT_FOUND);
        return copied;
    }
    const std::string_view text = profile.text;
    if (section == nullptr) {
        PlatformSetLastError(ERROR_SUCCESS);
        return CopyList(platform::ProfileSectionNames(text), buffer, size);
    }
    if (key == nullptr) {
        if (const auto keys = platform::ProfileKeyNames(text, section)) {
            PlatformSetLastError(ERROR_SUCCESS);
            return CopyList(*keys, buffer, size);
        }
    } else if (const auto value = platform::ProfileFind(text, section, key)) {
        PlatformSetLastError(ERROR_SUCCESS);
        return CopyValue(*value, buffer, size);
    }
    const DWORD copied = CopyDefault(defaultValue, buffer, size);
    PlatformSetLastError(ERROR_FILE_NOT_FOUND);
    return copied;
}

bool ValidEdit(LPCSTR section, LPCSTR key, LPCSTR value) {
    return section != nullptr && platform::ProfileSectionNameWritable(section) &&
           (key == nullptr || platform::ProfileKeyNameWritable(key)) &&
           (value == nullptr || platform::ProfileValueWritable(value));
}

// The edit of one write call on the text; *changed tells whether the text is now different.
// The names must be valid (ValidEdit).
BOOL Set(PlatformProfile& profile, LPCSTR section, LPCSTR key, LPCSTR value, bool* changed) {
    *changed = false;
    if (profile.read == ReadResult::TooLarge) {
        PlatformSetLastError(ERROR_FILE_TOO_LARGE);
        return FALSE;
    }
    if (profile.read == ReadResult::Failed) {
        PlatformSetLastError(profile.error == EISDIR ? ERROR_ACCESS_DENIED
                                                     : ErrorOfErrno(profile.error));
        return FALSE;
    }
    const bool exists = profile.read == ReadResult::Ok;
    // Removing from a file that does not exist leaves nothing to write.
    if (!exists && (key == nullptr || value == nullptr)) {
        PlatformSetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    WipedText edited;
    if (key == nullptr)
        edited.text = platform::ProfileWithoutSection(profile.text, section);
    else if (value == nullptr)
        edited.text = platform::ProfileWithoutKey(profile.text, section, key);
    else
        edited.text = platform::ProfileWithValue(profile.text, section, key, value);
    if (exists && edited.text == profile.text) {
        PlatformSetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    if (edited.text.size() > PLATFORM_PROFILE_MAX_FILE) {
        PlatformSetLastError(ERROR_FILE_TOO_LARGE);
        return FALSE;
    }
    profile.text.swap(edited.text);  // the old text is wiped with `edited`
    profile.read = ReadResult::Ok;
    *changed = true;
    PlatformSetLastError(ERROR_SUCCESS);
    return TRUE;
}

}  // namespace

extern "C" {

DWORD PlatformGetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue,
                                       LPSTR buffer, DWORD size, LPCSTR fileName) {
    if (buffer == nullptr || fileName == nullptr || fileName[0] == '\0') {
        const DWORD copied = CopyDefault(defaultValue, buffer, size);
        PlatformSetLastError(ERROR_INVALID_PARAMETER);
        return copied;
    }
    PlatformProfile profile;
    Load(profile, fileName);
    return Get(profile, section, key, defaultValue, buffer, size);
}

BOOL PlatformWritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value,
                                        LPCSTR fileName) {
    if (section == nullptr && key == nullptr && value == nullptr) {
        PlatformSetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    if (fileName == nullptr || fileName[0] == '\0' || !ValidEdit(section, key, value)) {
        PlatformSetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PlatformProfile profile;
    Load(profile, fileName);
    const bool existed = profile.read == ReadResult::Ok;
    bool changed = false;
    if (!Set(profile, section, key, value, &changed)) return FALSE;
    if (!changed) return TRUE;
    std::lock_guard lock(gProfileLock);
    if (!ReplaceFile(fileName, existed, profile.text, 0666)) return FALSE;
    PlatformSetLastError(ERROR_SUCCESS);
    return TRUE;
}

HPROFILE PlatformOpenProfileA(LPCSTR fileName) {
    auto* profile = new (std::nothrow) PlatformProfile;
    if (profile == nullptr) {
        PlatformSetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    Load(*profile, fileName);
    PlatformSetLastError(Readable(*profile) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    return profile;
}

DWORD PlatformGetProfileStringA(HPROFILE profile, LPCSTR section, LPCSTR key, LPCSTR defaultValue,
                                LPSTR buffer, DWORD size) {
    if (profile == nullptr || buffer == nullptr) {
        const DWORD copied = CopyDefault(defaultValue, buffer, size);
        PlatformSetLastError(ERROR_INVALID_PARAMETER);
        return copied;
    }
    return Get(*profile, section, key, defaultValue, buffer, size);
}

BOOL PlatformSetProfileStringA(HPROFILE profile, LPCSTR section, LPCSTR key, LPCSTR value) {
    if (section == nullptr && key == nullptr && value == nullptr) {
        PlatformSetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    if (profile == nullptr || !ValidEdit(section, key, value)) {
        PlatformSetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    bool changed = false;
    return Set(*profile, section, key, value, &changed);
}

DWORD PlatformGetProfileText(HPROFILE profile, LPCSTR* text) {
    if (profile == nullptr) {
        if (text != nullptr) *text = "";
        return 0;
    }
    if (text != nullptr) *text = profile->text.c_str();
    return static_cast<DWORD>(profile->text.size());
}

BOOL PlatformSaveProfileA(HPROFILE profile, LPCSTR fileName, DWORD newFileMode) {
    if (profile == nullptr || fileName == nullptr || fileName[0] == '\0') {
        PlatformSetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(gProfileLock);
    struct stat st {};
    const bool exists = ::stat(fileName, &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        PlatformSetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!ReplaceFile(fileName, exists, profile->text, static_cast<mode_t>(newFileMode & 07777)))
        return FALSE;
    PlatformSetLastError(ERROR_SUCCESS);
    return TRUE;
}

void PlatformCloseProfile(HPROFILE profile) {
    delete profile;
}

}  // extern "C"
