#include "terminal/session/host_keys.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <random>
#include <sstream>

namespace ostrel {
namespace {

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(HostKeyList, ReadsTheEntriesOfAFileAndIgnoresWhatDoesNotFit) {
    struct Case {
        const char* line;
        bool entry;
    };
    const Case cases[] = {
        {"10.0.0.5 22 3f:9a:07", true},
        {"  device.local\t2222   AB:cd:EF  ", true},
        {"host 65535 00", true},
        {"host 0 00", true},
        {"# 10.0.0.5 22 3f:9a", false},
        {"", false},
        {"host 65536 00", false},
        {"host 22x 00", false},
        {"host -1 00", false},
        {"host 22", false},
        {"host 22 00 extra", false},
        {"host 22 00 SHA256:uNiVztksCsDhcc0u9e8BujQXVUpKZIDTMczCvj3tD2s", true},
        {"host 22 00 SHA256:uNiVztksCsDhcc0u9e8BujQXVUpKZIDTMczCvj3tD2", false},
        {"host 22 00 SHA256:uNiVztksCsDhcc0u9e8BujQXVUpKZIDTMczCvj3tD2=", false},
        {"host 22 00 sha256:uNiVztksCsDhcc0u9e8BujQXVUpKZIDTMczCvj3tD2s", false},
        {"host 22 00 SHA256:uNiVztksCsDhcc0u9e8BujQXVUpKZIDTMczCvj3tD2s x", false},
        {"host 22 3g:00", false},
        {"#host 22 00", false},
        {"host\x01 22 00", false},
        {"host 22 "
         "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"
         "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef0",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const HostKeyList list = HostKeyList::Parse(std::string(c.line) + "\r\n");
        EXPECT_EQ(list.Entries().size(), c.entry ? 1u : 0u);
        // Kept as it was, whatever it is.
        EXPECT_EQ(list.Format(), std::string(c.line) + "\n");
    }
}

TEST(HostKeyList, FindsTheFirstEntryOfAHostAndPortWithoutRegardToCase) {
    const HostKeyList list = HostKeyList::Parse(
        "Device.Local 22 aa:01\ndevice.local 23 aa:02\nDEVICE.LOCAL 22 aa:03\nrest 22 aa:04");
    ASSERT_NE(list.Find("device.local", 22), nullptr);
    EXPECT_EQ(list.Find("device.local", 22)->fingerprint, "aa:01");
    EXPECT_EQ(list.Find("DEVICE.local", 23)->fingerprint, "aa:02");
    EXPECT_EQ(list.Find("rest", 22)->fingerprint, "aa:04");
    EXPECT_EQ(list.Find("device.local", 24), nullptr);
    EXPECT_EQ(list.Find("device", 22), nullptr);
}

// Whatever the file holds, adding an entry and reading the result back gives the same entries
// plus the new one, and every line that was there.
TEST(HostKeyList, AddedEntriesReadBackAndKeepTheRest) {
    std::mt19937 random(7);
    const std::string alphabet = "ab:#9 \t\r\n\x01\xff";
    for (int round = 0; round < 300; ++round) {
        std::string text;
        for (int i = static_cast<int>(random() % 60); i > 0; --i)
            text += alphabet[random() % alphabet.size()];
        HostKeyList list = HostKeyList::Parse(text);
        const std::vector<HostKeyEntry> before = list.Entries();
        ASSERT_TRUE(list.Add("new.host", 2200, "0f:e1"));
        const HostKeyList again = HostKeyList::Parse(list.Format());
        std::vector<HostKeyEntry> expected = before;
        expected.push_back({"new.host", 2200, "0f:e1"});
        EXPECT_EQ(again.Entries(), expected) << text;
        EXPECT_EQ(again.Format(), list.Format());
    }
    HostKeyList list;
    for (const char* host : {"", "two words", "#lead", "tab\there"})
        EXPECT_FALSE(list.Add(host, 22, "00")) << host;
    EXPECT_FALSE(list.Add("h", 70000, "00"));
    EXPECT_FALSE(list.Add("h", 22, "not hex"));
    EXPECT_TRUE(list.Empty());
}

class HostKeyStoreTest : public ::testing::Test {
protected:
    HostKeyStoreTest() { std::filesystem::remove_all(folder_); }
    ~HostKeyStoreTest() override { std::filesystem::remove_all(folder_); }
    std::filesystem::path folder_ =
        std::filesystem::temp_directory_path() / ("ostrel-host-keys-" + std::to_string(::getpid()));
    std::filesystem::path file_ = folder_ / "sub" / "ssh_host_keys.txt";
    HostKeyStore store_{file_};
};

TEST_F(HostKeyStoreTest, RemembersNewHostsAndComparesKnownOnes) {
    HostKeyCheck check = store_.Check("10.0.0.5", 22, "aa:01");
    EXPECT_EQ(check.verdict, HostKeyVerdict::New);
    EXPECT_EQ(check.error, "");
    const std::string text = ReadText(file_);
    EXPECT_EQ(text.substr(0, 1), "#");
    EXPECT_NE(text.find("\n10.0.0.5 22 aa:01\n"), std::string::npos);
    struct stat info {};
    ASSERT_EQ(::stat(file_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    check = store_.Check("10.0.0.5", 22, "AA:01");
    EXPECT_EQ(check.verdict, HostKeyVerdict::Known);
    check = store_.Check("10.0.0.5", 22, "bb:02");
    EXPECT_EQ(check.verdict, HostKeyVerdict::Changed);
    EXPECT_EQ(check.remembered, "aa:01");
    // The remembered key stays until the integrator removes its line.
    EXPECT_EQ(store_.Check("10.0.0.5", 22, "bb:02").verdict, HostKeyVerdict::Changed);
    EXPECT_EQ(store_.Check("10.0.0.5", 23, "bb:02").verdict, HostKeyVerdict::New);
    std::ofstream(file_, std::ios::trunc) << "my note\n";
    EXPECT_EQ(store_.Check("10.0.0.5", 22, "bb:02").verdict, HostKeyVerdict::New);
    EXPECT_EQ(ReadText(file_), "my note\n10.0.0.5 22 bb:02\n");
}

// Forgetting a host removes every line of its host and port (host without regard to case) and
// keeps the rest as written.
TEST_F(HostKeyStoreTest, ForgettingAHostRemovesItsLinesOnly) {
    std::string error;
    EXPECT_EQ(store_.Forget("10.0.0.5", 22, error), 0) << error;  // no file yet
    std::filesystem::create_directories(file_.parent_path());
    std::ofstream(file_) << "# note\nDevice.Local 22 aa:01\ndevice.local 22 bb:02\n"
                            "device.local 23 cc:03\nother 22 dd:04\n";
    ASSERT_TRUE(store_.Remembered("device.local", 22));
    EXPECT_EQ(store_.Remembered("device.local", 22)->fingerprint, "aa:01");
    EXPECT_EQ(store_.Forget("DEVICE.local", 22, error), 2) << error;
    EXPECT_EQ(ReadText(file_), "# note\ndevice.local 23 cc:03\nother 22 dd:04\n");
    EXPECT_FALSE(store_.Remembered("device.local", 22));
    EXPECT_EQ(store_.Forget("device.local", 22, error), 0);
}

TEST_F(HostKeyStoreTest, AFileThatCannotBeReadOrWrittenIsNamedAndLeftAlone) {
    std::filesystem::create_directories(file_.parent_path());
    std::ofstream(file_).close();
    std::filesystem::resize_file(file_, kMaxHostKeyFileBytes + 1);
    HostKeyCheck check = store_.Check("h", 22, "aa");
    EXPECT_EQ(check.verdict, HostKeyVerdict::New);
    EXPECT_NE(check.error.find("could not be read: the file is larger than 4 MiB"),
              std::string::npos);
    EXPECT_EQ(std::filesystem::file_size(file_), kMaxHostKeyFileBytes + 1);

    // A folder that cannot be made: a file stands where it should be.
    HostKeyStore blocked(file_ / "ssh_host_keys.txt");
    std::filesystem::remove(file_);
    std::ofstream(file_) << "not a folder\n";
    check = blocked.Check("h", 22, "aa");
    EXPECT_NE(check.error.find("could not be written: Not a directory"), std::string::npos)
        << check.error;
    EXPECT_EQ(ReadText(file_), "not a folder\n");
}

}  // namespace
}  // namespace ostrel

namespace ostrel {
namespace {

// Lines written before the SHA-256 form was known keep matching on the MD5 form; lines that
// have it must match on both, the SHA-256 form byte for byte.
TEST_F(HostKeyStoreTest, TheSha256FormIsRememberedAndComparedWhereBothSidesHaveIt) {
    const std::string sha = "SHA256:uNiVztksCsDhcc0u9e8BujQXVUpKZIDTMczCvj3tD2s";
    const std::string otherSha = "SHA256:uNiVztksCsDhcc0u9e8BujQXVUpKZIDTMczCvj3tD2S";
    EXPECT_EQ(store_.Check("old", 22, "aa:01").verdict, HostKeyVerdict::New);
    EXPECT_EQ(store_.Check("new", 22, "aa:01", sha).verdict, HostKeyVerdict::New);
    EXPECT_NE(ReadText(file_).find("\nnew 22 aa:01 " + sha + "\n"), std::string::npos);
    struct Case {
        const char* host;
        const char* md5;
        std::string sha256;
        HostKeyVerdict verdict;
    };
    const Case cases[] = {
        {"old", "aa:01", sha, HostKeyVerdict::Known},
        {"old", "aa:02", sha, HostKeyVerdict::Changed},
        {"new", "AA:01", sha, HostKeyVerdict::Known},
        {"new", "aa:01", "", HostKeyVerdict::Known},
        {"new", "aa:01", otherSha, HostKeyVerdict::Changed},
        {"new", "aa:02", sha, HostKeyVerdict::Changed},
    };
    for (const Case& c : cases) {
        const HostKeyCheck check = store_.Check(c.host, 22, c.md5, c.sha256);
        EXPECT_EQ(check.verdict, c.verdict) << c.host << " " << c.md5 << " " << c.sha256;
        EXPECT_EQ(check.rememberedSha256, std::string(c.host) == "new" ? sha : "");
    }
}

}  // namespace
}  // namespace ostrel
