// A profile document against the two per-key calls on the same file: every read gives the same
// bytes, count and last error, and a sequence of edits leaves the same bytes the same sequence
// of writes leaves in the file. The texts are a table of layouts and the fuzz target's seeds.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/profile.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Texts() {
    std::vector<std::string> texts = {
        "",
        "[s]\r\nk=v\r\n",
        "\xEF\xBB\xBF[S]\nK = \"quoted\" \nk=second\n[s]\nk=third\n",
        "loose=1\r\n[]\r\nx=2\r\n; comment\r\n[a b]\r\n  a b = c=d;e \r\n[s\r\nno equals\r\n",
        "[Connection Settings]\r\nType=6\r\nPassword='c2VjcmV0'\r\n[k]\r\n[x]]\r\nk=[",
        "\r\r\n[s]\rk=v\r\n\n\n[S]\r\n",
    };
    // The seeds of the fuzz targets: the profile text's (two selector bytes, then the file) and
    // the session file's (whole files).
    const char* source = std::getenv("OSTREL_SOURCE_DIR");
    const fs::path seeds = fs::path(source != nullptr ? source : ".") / "tests" / "fuzz" / "seeds";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(seeds / "fuzz_profile_text", ec)) {
        const std::string seed = ReadAll(entry.path());
        if (seed.size() >= 2) texts.push_back(seed.substr(2));
    }
    for (const auto& entry : fs::directory_iterator(seeds / "fuzz_session_file", ec))
        texts.push_back(ReadAll(entry.path()));
    EXPECT_GE(texts.size(), 8u) << "the fuzz seeds were not found under " << seeds;
    return texts;
}

const char* const kNames[] = {"s",  "S",      "", "k", "K", "a b", "Connection Settings",
                              "x]", "missing"};

class ProfileDocument : public ::testing::Test {
protected:
    ProfileDocument() {
        folder_ = fs::temp_directory_path() / ("ostrel-document-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
        file_ = (folder_ / "p.ini").string();
    }
    ~ProfileDocument() override { fs::remove_all(folder_); }

    fs::path folder_;
    std::string file_;
};

struct Read {
    std::string bytes;
    DWORD count;
    DWORD error;
    friend bool operator==(const Read&, const Read&) = default;
};

Read FromFile(const char* section, const char* key, DWORD size, const std::string& file) {
    std::string buffer(size + 2, '#');
    const DWORD n =
        PlatformGetPrivateProfileStringA(section, key, "dflt ", buffer.data(), size, file.c_str());
    return {buffer, n, PlatformGetLastError()};
}

Read FromDocument(const char* section, const char* key, DWORD size, HPROFILE document) {
    std::string buffer(size + 2, '#');
    const DWORD n = PlatformGetProfileStringA(document, section, key, "dflt ", buffer.data(), size);
    return {buffer, n, PlatformGetLastError()};
}

TEST_F(ProfileDocument, ReadsAsTheFileCallDoes) {
    for (const std::string& text : Texts()) {
        std::ofstream(file_, std::ios::binary | std::ios::trunc) << text;
        HPROFILE document = PlatformOpenProfileA(file_.c_str());
        ASSERT_NE(document, nullptr);
        for (const char* section : kNames) {
            for (const char* key : kNames) {
                for (DWORD size : {1u, 4u, 512u}) {
                    EXPECT_EQ(FromDocument(section, key, size, document),
                              FromFile(section, key, size, file_))
                        << text << " [" << section << "] " << key << " size " << size;
                }
            }
            EXPECT_EQ(FromDocument(section, nullptr, 64, document),
                      FromFile(section, nullptr, 64, file_));
        }
        EXPECT_EQ(FromDocument(nullptr, nullptr, 64, document),
                  FromFile(nullptr, nullptr, 64, file_));
        PlatformCloseProfile(document);
    }
    // A missing file reads as the file call reads it.
    fs::remove(file_);
    HPROFILE missing = PlatformOpenProfileA(file_.c_str());
    EXPECT_EQ(PlatformGetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(FromDocument(nullptr, nullptr, 64, missing), FromFile(nullptr, nullptr, 64, file_));
    EXPECT_EQ(FromDocument("s", "k", 64, missing), FromFile("s", "k", 64, file_));
    PlatformCloseProfile(missing);
}

TEST_F(ProfileDocument, EditsLeaveTheBytesTheWritesLeave) {
    struct Edit {
        const char* section;
        const char* key;
        const char* value;
    };
    const Edit edits[] = {
        {"s", "k", "new"},        {"S", "K", "again"}, {"t", "a b", " spaced "},
        {"s", "x", nullptr},      {"s", "k", nullptr}, {"a b", nullptr, nullptr},
        {"", "top", "1"},         {"bad]", "k", "v"},  {"s", "k=", "v"},
        {"s", "k", "two\nlines"}, {"t", "z", "\"q\""}, {"missing", nullptr, nullptr},
    };
    const fs::path mirror = folder_ / "mirror.ini";
    for (const std::string& text : Texts()) {
        std::ofstream(file_, std::ios::binary | std::ios::trunc) << text;
        HPROFILE document = PlatformOpenProfileA(file_.c_str());
        for (const Edit& edit : edits) {
            const BOOL byFile = PlatformWritePrivateProfileStringA(edit.section, edit.key,
                                                                   edit.value, file_.c_str());
            const DWORD fileError = PlatformGetLastError();
            const BOOL byDocument =
                PlatformSetProfileStringA(document, edit.section, edit.key, edit.value);
            EXPECT_EQ(byDocument, byFile) << text << " " << edit.section;
            EXPECT_EQ(PlatformGetLastError(), fileError);
            LPCSTR edited = nullptr;
            const DWORD length = PlatformGetProfileText(document, &edited);
            EXPECT_EQ(std::string(edited, length), ReadAll(file_)) << text;
        }
        // Saving writes the same bytes, in one file, readable as the writes left it.
        fs::remove(mirror);
        ASSERT_TRUE(PlatformSaveProfileA(document, mirror.c_str(), 0600));
        EXPECT_EQ(ReadAll(mirror), ReadAll(file_));
        EXPECT_EQ(fs::status(mirror).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
        PlatformCloseProfile(document);
    }
}

TEST_F(ProfileDocument, SavingKeepsTheModeOfAFileThatExistsAndFollowsLinks) {
    std::ofstream(file_, std::ios::binary) << "[s]\r\nk=1\r\n";
    fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    const fs::path link = folder_ / "link.ini";
    fs::create_symlink(file_, link);
    HPROFILE document = PlatformOpenProfileA(link.c_str());
    ASSERT_TRUE(PlatformSetProfileStringA(document, "s", "k", "2"));
    ASSERT_TRUE(PlatformSaveProfileA(document, link.c_str(), 0600));
    PlatformCloseProfile(document);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadAll(file_), "[s]\r\nk=2\r\n");
    EXPECT_EQ(fs::status(file_).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    EXPECT_FALSE(PlatformSaveProfileA(nullptr, file_.c_str(), 0600));
    EXPECT_EQ(PlatformGetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
