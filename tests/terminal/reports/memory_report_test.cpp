#include "terminal/reports/memory_report.h"

#include <gtest/gtest.h>

#include "report_lines.h"

#include <sstream>
#include <string>
#include <vector>

#include "terminal/reports/monitor_report.h"
#include "terminal/reports/report_text.h"

namespace ostrel {
namespace {

using testing::ReportLines;

TEST(MemoryReport, SixtyFourBitCountsAlignedInFifteenColumns) {
    MemoryStatus status;
    status.totalPhysical = 64ull << 30;  // 64 GiB: past any 32-bit count
    status.availablePhysical = 16ull << 30;
    status.totalPageFile = 0;  // no swap: nothing to divide by
    status.availablePageFile = 0;
    status.totalVirtual = 1ull << 47;
    status.availableVirtual = (1ull << 47) / 3;
    const std::vector<std::string> lines = ReportLines(MemoryReport(status));
    const std::vector<std::string> expected = {
        "##############",
        "### Memory ###",
        "##############",
        "",
        "Total Physical Memory       :    68719476736",
        "Available Physical Memory   :    17179869184",
        "Percent Free Physical Memory:             25",
        "--------------",
        "Total Page File             :              0",
        "Available Page File         :              0",
        "Percent Free Page File      :(not available)",
        "--------------",
        "Total Virtual Memory        :140737488355328",
        "Available Virtual Memory    : 46912496118442",
        "Percent Free Virtual Memory :             33",
        "",
    };
    EXPECT_EQ(lines, expected);
}

TEST(MemoryReport, UnknownAddressSpaceIsNotInvented) {
    MemoryStatus status;
    status.totalPhysical = 1000;
    status.availablePhysical = 995;  // 99.5 rounds up
    const std::vector<std::string> lines = ReportLines(MemoryReport(status));
    EXPECT_EQ(lines[6], "Percent Free Physical Memory:            100");
    EXPECT_EQ(lines[12], "Total Virtual Memory        :(not available)");
    EXPECT_EQ(lines[14], "Percent Free Virtual Memory :(not available)");

    // A damaged meminfo claiming more available than in all gives no percentage (it overflowed).
    status.availablePhysical = 1ull << 62;
    EXPECT_EQ(ReportLines(MemoryReport(status))[6],
              "Percent Free Physical Memory:(not available)");
}

TEST(MemoryReport, MeminfoAndAddressSpaceSources) {
    MemoryStatus status;
    EXPECT_TRUE(
        ParseMeminfo("MemTotal:       65536000 kB\nMemFree:  1 kB\nMemAvailable:   "
                     "32768000 kB\nSwapTotal:  2048 kB\nSwapFree: 1024 kB\n",
                     &status));
    EXPECT_EQ(status.totalPhysical, 65536000ull * 1024);  // past 4 GiB
    EXPECT_EQ(status.availablePhysical, 32768000ull * 1024);
    EXPECT_EQ(status.totalPageFile, 2048ull * 1024);
    EXPECT_EQ(status.availablePageFile, 1024ull * 1024);
    // Old kernels: free + buffers + cached.
    EXPECT_TRUE(
        ParseMeminfo("MemTotal: 100 kB\nMemFree: 10 kB\nBuffers: 5 kB\nCached: 20 kB\n", &status));
    EXPECT_EQ(status.availablePhysical, 35ull * 1024);
    EXPECT_FALSE(ParseMeminfo("MemTotalX: 5 kB\nMemTotal: lots\n", &status));

    const std::string maps =
        "55d0c0a00000-55d0c0a21000 r--p 00000000 08:01 1 /usr/bin/ostrel\n"
        "7ffc1a2b3000-7ffc1a2d4000 rw-p 00000000 00:00 0 [stack]\n"
        "ffffffffff600000-ffffffffff601000 --xp 00000000 00:00 0 [vsyscall]\n";
    EXPECT_EQ(AddressSpaceFromMaps(maps), 1ull << 47);
    EXPECT_EQ(AddressSpaceFromMaps("garbage\n-\n"), std::nullopt);
    EXPECT_EQ(VmSizeFromStatus("Name:\tostrel\nVmSize:\t  123456 kB\n"), 123456ull * 1024);

    // The machine's own figures hang together.
    const MemoryStatus real = ReadMemoryStatus();
    EXPECT_GT(real.totalPhysical, 0u);
    EXPECT_LE(real.availablePhysical, real.totalPhysical);
    ASSERT_TRUE(real.totalVirtual && real.availableVirtual);
    EXPECT_LT(*real.availableVirtual, *real.totalVirtual);
}

TEST(MonitorReport, CountPrimaryAndEachMonitor) {
    const MonitorList list{{1920, 1080}, {{1920, 1080}, {1280, 1024}}};
    EXPECT_EQ(
        ReportLines(MonitorReport(list)),
        (std::vector<std::string>{"################", "### Monitors ###", "################", "",
                                  "There are 2 display devices attached to this system...",
                                  "The primary display is 1920 by 1080...",
                                  "Monitor 1 - 1920 by 1080", "Monitor 2 - 1280 by 1024", ""}));
}

TEST(ReportTime, UtcWithMillisecondsAndWeekday) {
    EXPECT_EQ(FormatReportTime(0), "1970-01-01 00:00:00 (000 milliseconds)Thursday");
    EXPECT_EQ(FormatReportTime(1709647629, 42), "2024-03-05 14:07:09 (042 milliseconds)Tuesday");
    EXPECT_EQ(FormatReportTime(951782400), "2000-02-29 00:00:00 (000 milliseconds)Tuesday");
    EXPECT_EQ(FormatReportTime(-5, 1000), "1970-01-01 00:00:00 (000 milliseconds)Thursday");
}

}  // namespace
}  // namespace ostrel
