// The two profile calls on real files: buffers, lists, defaults, last errors, the bytes written,
// and files that cannot be read or written.
#include "platform/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "file_permissions.h"

namespace {

namespace fs = std::filesystem;

class ProfileFile : public ::testing::Test {
protected:
    ProfileFile() {
        folder_ = fs::temp_directory_path() /
                  ("ostrel-profile-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        file_ = (folder_ / "session.ini").string();
    }
    ~ProfileFile() override {
        fs::permissions(folder_, fs::perms::owner_all);
        fs::remove_all(folder_);
    }

    void Put(const std::string& text) const { std::ofstream(file_, std::ios::binary) << text; }
    std::string Contents() const {
        std::ifstream in(file_, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // The value read with a buffer of size bytes, and the count returned.
    std::pair<std::string, DWORD> Get(const char* section, const char* key, const char* def,
                                      DWORD size = 512) const {
        std::string buffer(size + 8, '#');
        const DWORD n = PlatformGetPrivateProfileStringA(section, key, def, buffer.data(), size,
                                                         file_.c_str());
        return {buffer.substr(0, size), n};
    }
    BOOL Write(const char* section, const char* key, const char* value) const {
        return PlatformWritePrivateProfileStringA(section, key, value, file_.c_str());
    }

    fs::path folder_;
    std::string file_;
};

TEST_F(ProfileFile, SingleValuesBuffersAndDefaults) {
    Put("[s]\r\nk=abcdef\r\nq=\"quoted\"\r\n");
    struct Case {
        const char* key;
        const char* def;
        DWORD size;
        std::string expected;  // the buffer up to and including the first zero byte
        DWORD count;
        DWORD error;
    };
    const Case cases[] = {
        {"k", "dflt", 512, std::string("abcdef", 7), 6, ERROR_SUCCESS},
        {"K", "dflt", 4, std::string("abc", 4), 3, ERROR_SUCCESS},
        {"k", "dflt", 1, std::string("", 1), 0, ERROR_SUCCESS},
        {"q", "", 512, std::string("quoted", 7), 6, ERROR_SUCCESS},
        {"missing", "dflt  ", 512, std::string("dflt", 5), 4, ERROR_FILE_NOT_FOUND},
        {"missing", " x \t", 512, std::string(" x", 3), 2, ERROR_FILE_NOT_FOUND},
        {"missing", nullptr, 512, std::string("", 1), 0, ERROR_FILE_NOT_FOUND},
        {"missing", "default", 4, std::string("def", 4), 3, ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        const auto [buffer, count] = Get("s", c.key, c.def, c.size);
        EXPECT_EQ(buffer.substr(0, c.expected.size()), c.expected) << c.key << " " << c.size;
        EXPECT_EQ(count, c.count) << c.key << " " << c.size;
        EXPECT_EQ(PlatformGetLastError(), c.error) << c.key;
    }
    char untouched = '#';
    EXPECT_EQ(PlatformGetPrivateProfileStringA("s", "k", "d", &untouched, 0, file_.c_str()), 0u);
    EXPECT_EQ(untouched, '#');
    EXPECT_EQ(PlatformGetPrivateProfileStringA("s", "k", "d", nullptr, 10, file_.c_str()), 0u);
}

TEST_F(ProfileFile, ListsOfSectionsAndKeys) {
    Put("[one]\r\na=1\r\n;c=2\r\nb\r\n[Two]\r\n[ONE]\r\nz=3\r\n");
    struct Case {
        const char* section;
        DWORD size;
        std::string expected;
        DWORD count;
    };
    const Case cases[] = {
        {nullptr, 512, std::string("one\0Two\0\0", 9), 8},
        {nullptr, 7, std::string("one\0T\0\0", 7), 5},   // the last name cut, two zeros
        {nullptr, 5, std::string("one\0\0", 5), 3},      // exactly one name and its zero fit
        {nullptr, 2, std::string("\0\0", 2), 0},
        {"one", 512, std::string("a\0b\0\0", 5), 4},
        {"two", 512, std::string("\0\0", 2), 0},
        {"three", 512, std::string("d\0", 2), 1},  // a missing section gives the default
    };
    for (const Case& c : cases) {
        const auto [buffer, count] = Get(c.section, nullptr, "d", c.size);
        EXPECT_EQ(buffer.substr(0, c.expected.size()), c.expected)
            << (c.section ? c.section : "(sections)") << " " << c.size;
        EXPECT_EQ(count, c.count) << (c.section ? c.section : "(sections)") << " " << c.size;
    }
}

TEST_F(ProfileFile, MissingAndUnreadableFilesGiveTheDefault) {
    fs::remove(file_);
    EXPECT_EQ(Get("s", "k", "7").first.substr(0, 2), std::string("7\0", 2));
    EXPECT_EQ(PlatformGetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Get(nullptr, nullptr, "7").first.substr(0, 2), std::string("7\0", 2));
    char buffer[8];
    EXPECT_EQ(PlatformGetPrivateProfileStringA("s", "k", "dd", buffer, 8, folder_.c_str()), 2u);
    EXPECT_STREQ(buffer, "dd");
    EXPECT_EQ(PlatformGetPrivateProfileStringA("s", "k", "dd", buffer, 8, ""), 2u);
    EXPECT_EQ(PlatformGetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(PlatformGetPrivateProfileStringA("s", "k", "dd", buffer, 8, nullptr), 2u);
}

TEST_F(ProfileFile, WritesProduceTheWindowsLayout) {
    fs::remove(file_);
    ASSERT_TRUE(Write("Connection Settings", "RemoteControl", ""));
    ASSERT_TRUE(Write("Connection Settings", "Type", "2"));
    ASSERT_TRUE(Write("Display Settings", "Display Type", "0"));
    ASSERT_TRUE(Write("connection settings", "TYPE", "6"));
    ASSERT_TRUE(Write("Connection Settings", "Login", " admin "));
    EXPECT_EQ(Contents(),
              "[Connection Settings]\r\nRemoteControl=\r\nType=6\r\nLogin= admin \r\n"
              "[Display Settings]\r\nDisplay Type=0\r\n");
    EXPECT_EQ(Get("Connection Settings", "Login", "").first.substr(0, 6), std::string("admin\0", 6));

    ASSERT_TRUE(Write("Connection Settings", "Type", nullptr));
    ASSERT_TRUE(Write("Connection Settings", "Type", nullptr));  // gone already: still fine
    ASSERT_TRUE(Write("Display Settings", nullptr, nullptr));
    EXPECT_EQ(Contents(), "[Connection Settings]\r\nRemoteControl=\r\nLogin= admin \r\n");
    EXPECT_TRUE(PlatformWritePrivateProfileStringA(nullptr, nullptr, nullptr, file_.c_str()));

    // Removing from a file that does not exist creates nothing.
    fs::remove(file_);
    ASSERT_TRUE(Write("s", "k", nullptr));
    EXPECT_FALSE(fs::exists(file_));
}

TEST_F(ProfileFile, RefusesWhatWouldReadBackAsSomethingElse) {
    Put("[s]\r\nk=v\r\n");
    struct Case {
        const char* section;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {nullptr, "k", "v"}, {"a]b", "k", "v"}, {"s", "a=b", "v"}, {"s", "", "v"},
        {"s", "[k", "v"},    {"s", ";k", "v"},  {"s", "k", "line\r\nk2=x"}, {"s\n", "k", "v"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(Write(c.section, c.key, c.value)) << (c.key ? c.key : "");
        EXPECT_EQ(PlatformGetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_FALSE(PlatformWritePrivateProfileStringA("s", "k", "v", ""));
    EXPECT_EQ(Contents(), "[s]\r\nk=v\r\n");
}

TEST_F(ProfileFile, ReplacingKeepsPermissionsAndFollowsLinks) {
    Put("[s]\nk=1\n");
    ::chmod(file_.c_str(), 0640);
    const std::string link = (folder_ / "link.ini").string();
    fs::create_symlink(file_, link);
    ASSERT_TRUE(PlatformWritePrivateProfileStringA("s", "k", "2", link.c_str()));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Contents(), "[s]\r\nk=2\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(file_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 2);
}

TEST_F(ProfileFile, ReadOnlyFolderAndFile) {
    Put("[s]\r\nk=1\r\n");
    const std::string fresh = (folder_ / "new.ini").string();
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    const bool arranged = ostrel::testing::WithPermissionsObeyed([&] {
        // A new file cannot be made; the existing one is written in place.
        EXPECT_FALSE(PlatformWritePrivateProfileStringA("s", "k", "1", fresh.c_str()));
        EXPECT_EQ(PlatformGetLastError(), ERROR_ACCESS_DENIED);
        EXPECT_TRUE(Write("s", "k", "2"));
        ::chmod(file_.c_str(), 0444);
        EXPECT_FALSE(Write("s", "k", "3"));
        EXPECT_EQ(PlatformGetLastError(), ERROR_ACCESS_DENIED);
    });
    if (!arranged) GTEST_SKIP() << "permission bits cannot be made to apply here";
    EXPECT_FALSE(fs::exists(fresh));
    EXPECT_EQ(Contents(), "[s]\r\nk=2\r\n");
    EXPECT_FALSE(PlatformWritePrivateProfileStringA("s", "k", "1",
                                                    (folder_ / "no" / "x.ini").c_str()));
    EXPECT_EQ(PlatformGetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(PlatformWritePrivateProfileStringA("s", "k", "1", folder_.c_str()));
    EXPECT_EQ(PlatformGetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(ProfileFile, HugeFilesAreReadInPartAndNeverRewritten) {
    Put("[s]\r\nk=" + std::string(1 << 20, 'x') + "\r\nafter=yes\r\n");
    EXPECT_EQ(Get("s", "after", "").second, 3u);
    EXPECT_EQ(Get("s", "k", "", 600).second, 599u);
    // A sparse file one byte above the limit: its start is read, nothing is written.
    Put("[s]\r\nk=v\r\n");
    ASSERT_EQ(::truncate(file_.c_str(), PLATFORM_PROFILE_MAX_FILE + 1), 0);
    EXPECT_EQ(Get("s", "k", "").first.substr(0, 2), std::string("v\0", 2));
    EXPECT_FALSE(Write("s", "k", "w"));
    EXPECT_EQ(PlatformGetLastError(), ERROR_FILE_TOO_LARGE);
    EXPECT_EQ(fs::file_size(file_), PLATFORM_PROFILE_MAX_FILE + 1);
}

}  // namespace
