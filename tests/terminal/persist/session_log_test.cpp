// The session log: stamps, the roll-over into numbered parts (with a small limit), files that
// cannot be written.
#include "terminal/persist/session_log.h"

#include <gtest/gtest.h>

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

TEST(SessionLog, UnwritableFilesLoseEntriesQuietly) {
    TempFolder folder;
    FixedClock clock;
    SessionLog log(clock);
    EXPECT_FALSE(log.StartFile(folder.File("no/such/folder/log.txt")));
    EXPECT_EQ(log.Settings().file, folder.File("no/such/folder/log.txt"));
    log.SetOn(true);
    log.LogAppend("lost");
    EXPECT_TRUE(log.On());
    EXPECT_EQ(log.Settings().bytes, 4);
    // No file at all (logging switched on and the dialog cancelled the first time).
    SessionLog unnamed(clock);
    unnamed.SetOn(true);
    unnamed.LogAppend("nowhere");
    EXPECT_TRUE(unnamed.On());
}

}  // namespace
}  // namespace ostrel
