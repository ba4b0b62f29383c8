#include "terminal/core/user_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>

namespace ostrel {
namespace {

const char* NonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? value : nullptr;
}

std::filesystem::path HomeFolder() {
    if (const char* home = NonEmptyEnv("HOME")) return home;
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return {};
}

bool IsRegularFile(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

std::filesystem::path UserFolder() {
    if (const char* own = NonEmptyEnv("OSTREL_HOME")) return own;
    // The XDG rules ask for relative values to be ignored.
    if (const char* config = NonEmptyEnv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/')
        return std::filesystem::path(config) / "ostrel";
    return HomeFolder() / ".config" / "ostrel";
}

std::filesystem::path ExecutableFolder() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return self.parent_path();
}

std::optional<std::filesystem::path> FindReadableFile(std::string_view name) {
    const std::filesystem::path user = UserFolder() / name;
    if (IsRegularFile(user)) return user;
    if (const std::filesystem::path exe = ExecutableFolder(); !exe.empty()) {
        const std::filesystem::path portable = exe / name;
        if (IsRegularFile(portable)) return portable;
    }
    return std::nullopt;
}

}  // namespace ostrel
