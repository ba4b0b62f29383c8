// The session log: stamps, the roll-over into numbered parts (with a small limit), files that
// cannot be written.
#include "terminal/persist/session_log.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>

#include "../../platform/file_permissions.h"
#include "../core/fakes.h"
#include "temp_folder.h"

namespace ostrel {
namespace {

using testing::FixedClock;
using testing::TempFolder;

TEST(SessionLog, PartFileNames) {
    const std::tuple<std::string, int, std::string> cases[] = {
        {"log.txt", 0, "log.txt"},
        {"log.txt", 1, "log_1.txt"},
        {"/var/log/x/log.txt", 12, "/var/log/x/log_12.txt"},
        {"  log.txt  ", 2, "log_2.txt"},
        {"  log.txt  ", 0, "  log.txt  "},
        {"logfile", 1, "log_1file"},
        {"abc", 3, "_3abc"},
    };
    for (const auto& [file, part, expected] : cases)
        EXPECT_EQ(LogPartPath(file, part), expected) << file << " " << part;
}

TEST(SessionLog, EntriesAreStampedAndRollOverAtTheLimit) {
    TempFolder folder;
    FixedClock clock;
    SessionLog log(clock, 10);
    ASSERT_TRUE(log.StartFile(folder.File("log.txt")));
    log.LogAppend("\r\n03-07-2024 09:05:02>>abcd");  // 26 characters: the limit is passed
    log.LogAppend("xyz");                            // 3
    log.LogAppend("");                               // stamp only
    log.LogAppend("1234567");                        // 3 + 7 = 10: the next part
    log.LogAppend("tail");
    EXPECT_EQ(folder.Read("log.txt"), "");
    EXPECT_EQ(folder.Read("log_1.txt"),
              "03-07-2024 09:05:02>>\r\n03-07-2024 09:05:02>>abcd"
              "03-07-2024 09:05:02>>xyz03-07-2024 09:05:02>>");
    EXPECT_EQ(folder.Read("log_2.txt"), "03-07-2024 09:05:02>>123456703-07-2024 09:05:02>>tail");
    EXPECT_EQ(log.Settings().part, 2);
    EXPECT_EQ(log.Settings().bytes, 4);

    // Choosing a file again starts at its part 0 and empties it.
    clock.now = {2025, 12, 31, 23, 59, 58};
    folder.Put("log.txt", "old");
    ASSERT_TRUE(log.StartFile(folder.File("log.txt")));
    EXPECT_EQ(folder.Read("log.txt"), "");
    log.LogAppend("new\r\n");
    EXPECT_EQ(folder.Read("log.txt"), "12-31-2025 23:59:58>>new\r\n");
}

TEST(SessionLog, TheDefaultLimitIsOneGibibyte) {
    TempFolder folder;
    FixedClock clock;
    SessionLog log(clock);
    log.Load({true, folder.File("big.txt"), 0, kLogRollOverBytes - 2});
    log.LogAppend("a");
    EXPECT_EQ(log.Settings().part, 0);
    log.LogAppend("b");
    EXPECT_EQ(log.Settings().part, 1);
    EXPECT_EQ(log.Settings().bytes, 0);
    EXPECT_EQ(folder.Read("big_1.txt"), "03-07-2024 09:05:02>>b");
    EXPECT_EQ(kLogRollOverBytes, 1073741824);
}

TEST(SessionLog, AnUnwritableFileIsReportedOnceAndLoggingStaysOn) {
    TempFolder folder;
    FixedClock clock;
    SessionLog log(clock);
    const std::string path = folder.File("later/log.txt");
    EXPECT_FALSE(log.StartFile(path));
    EXPECT_EQ(log.Settings().file, path);
    log.SetOn(true);
    log.LogAppend("lost");
    EXPECT_EQ(log.TakeReport(), "The log file " + path +
                                    " cannot be written (No such file or directory): entries "
                                    "are lost until it can; logging stays on...");
    log.LogAppend("lost too");
    EXPECT_EQ(log.TakeReport(), "");  // once
    EXPECT_TRUE(log.On());
    EXPECT_EQ(log.Settings().bytes, 12);
    // Once it can be written again, entries arrive; a later failure is reported again.
    std::filesystem::create_directory(folder.File("later"));
    log.LogAppend("back");
    EXPECT_EQ(folder.Read("later/log.txt"), "03-07-2024 09:05:02>>back");
    std::filesystem::remove_all(folder.File("later"));
    log.SetOn(false);  // the open file goes
    log.SetOn(true);
    log.LogAppend("gone");
    EXPECT_NE(log.TakeReport(), "");
    // No file at all (logging switched on and the dialog cancelled the first time).
    SessionLog unnamed(clock);
    unnamed.SetOn(true);
    unnamed.LogAppend("nowhere");
    EXPECT_TRUE(unnamed.On());
}

TEST(SessionLog, TheFileStaysOpenFromOneEntryToTheNext) {
    TempFolder folder;
    FixedClock clock;
    SessionLog log(clock, 100);
    ASSERT_TRUE(log.StartFile(folder.File("log.txt")));
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, folder.Path().c_str(), IN_OPEN), 0);
    for (int i = 0; i < 50; ++i)
        log.LogAppend("0123456789");  // 500 bytes: five roll-overs
    alignas(inotify_event) char buffer[4096];
    int opens = 0;
    for (ssize_t n = 0; (n = ::read(watch, buffer, sizeof buffer)) > 0;)
        for (char* p = buffer; p < buffer + n;
             p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len)
            ++opens;
    ::close(watch);
    EXPECT_EQ(opens, 5);  // one per new part
    EXPECT_EQ(folder.Read("log_4.txt").size(), 10u * 31);

    // A log removed while open is made anew with the next second's first entry.
    std::filesystem::remove(folder.File("log_5.txt"));
    log.LogAppend("lost");
    clock.now.second += 1;
    log.LogAppend("found");
    EXPECT_EQ(folder.Read("log_5.txt"), "03-07-2024 09:05:03>>found");
}

TEST(SessionLog, LogFilesASessionFileMayName) {
    const std::pair<std::string, bool> cases[] = {
        {"log.txt", true},
        {"/home/u/logs/Room 101.LOG", true},
        {"./log.txt", true},
        {"../shared/log.txt", true},
        {"  log.txt  ", true},
        {"/home/u/.bashrc", false},
        {"/home/u/.profile.txt", false},
        {"/home/u/.config/autostart/x.txt", false},
        {"/home/u/log.txt.sh", false},
        {"/home/u/log", false},
        {"", false},
        {"/home/u/logs/", false},
    };
    for (const auto& [path, allowed] : cases)
        EXPECT_EQ(LogPathAllowed(path), allowed) << path;
}

}  // namespace
}  // namespace ostrel
