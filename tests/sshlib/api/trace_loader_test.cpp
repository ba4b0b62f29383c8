// Loading the trace library: it is looked for beside the code of the SSH library (here linked
// into this program, so beside the program); a missing library and one of another version
// leave tracing unavailable.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "sshlib/api/tessan.h"

namespace {

namespace fs = std::filesystem;

fs::path ProgramFolder() {
    return fs::read_symlink("/proc/self/exe").parent_path();
}

TEST(TraceLoader, MissingOrWrongVersionLeavesTracingUnavailable) {
    const fs::path beside = ProgramFolder() / "libquorn.so";
    fs::remove(beside);
    ASSERT_TRUE(SshInitializeA(nullptr, nullptr));
    const fs::path file = fs::temp_directory_path() / ("loader-" + std::to_string(getpid()));
    EXPECT_EQ(SshEnableTraceA(file.c_str(), 0), 0);  // not there

    fs::copy_file(WRONG_VERSION_QUORN, beside);
    EXPECT_EQ(SshEnableTraceA(file.c_str(), 0), 0);  // version 6.9: refused, not kept
    EXPECT_EQ(SshDisableTrace(), 0);
    EXPECT_FALSE(fs::exists(file));

    fs::remove(beside);
    fs::copy_file(ACCEPTED_QUORN, beside);  // the shipped one is taken on the next try
    EXPECT_NE(SshEnableTraceA(file.c_str(), 0), 0);
    EXPECT_NE(SshDisableTrace(), 0);
    EXPECT_TRUE(fs::exists(file));
    fs::remove(beside);
    fs::remove(file);
    SshUninitialize();
}

}  // namespace
