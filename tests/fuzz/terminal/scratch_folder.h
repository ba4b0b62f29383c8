// A folder for fuzz targets that load and save files on every input: on a memory file system
// when there is one, one per user and target, reused by every run (a fuzzer may end without
// cleaning up).
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

namespace ostrel::fuzzing {

inline std::filesystem::path ScratchFolder(const std::string& name) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path base = fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
                              ? fs::path("/dev/shm")
                              : fs::temp_directory_path();
    fs::path path = base / ("ostrel-fuzz-" + name + "-" + std::to_string(::getuid()));
    fs::create_directories(path);
    return path;
}

}  // namespace ostrel::fuzzing
