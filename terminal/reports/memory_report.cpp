#include "terminal/reports/memory_report.h"

#include <sys/resource.h>
#include <sys/sysinfo.h>

#include <algorithm>
#include <charconv>
#include <vector>

#include "terminal/reports/network_sources.h"
#include "terminal/reports/report_text.h"

namespace ostrel {
namespace {

// "Key:   123 kB" lines: the value of the key in bytes.
// The first line of the key decides; a later line of the same key is not looked at.
std::optional<std::uint64_t> KibField(std::string_view text, std::string_view key) {
    bool seen = false;
    std::optional<std::uint64_t> bytes;
    ForEachLine(text, [&](std::string_view line) {
        if (seen || !line.starts_with(key) || line.size() <= key.size() || line[key.size()] != ':')
            return;
        seen = true;
        const std::string_view value = TrimSpace(line.substr(key.size() + 1));
        std::uint64_t number = 0;
        const auto [rest, error] =
            std::from_chars(value.data(), value.data() + value.size(), number);
        if (error != std::errc() || number > UINT64_MAX / 1024) return;
        const bool kib =
            TrimSpace(std::string_view(rest, value.data() + value.size() - rest)) == "kB";
        bytes = kib ? number * 1024 : number;
    });
    return bytes;
}

}  // namespace

std::string MemoryReport(const MemoryStatus& s) {
    std::vector<std::string> lines = {"##############", "### Memory ###", "##############", ""};
    lines.push_back("Total Physical Memory       :" + Column15(s.totalPhysical));
    lines.push_back("Available Physical Memory   :" + Column15(s.availablePhysical));
    lines.push_back("Percent Free Physical Memory:" +
                    Column15(Percent(s.availablePhysical, s.totalPhysical)));
    lines.push_back("--------------");
    lines.push_back("Total Page File             :" + Column15(s.totalPageFile));
    lines.push_back("Available Page File         :" + Column15(s.availablePageFile));
    lines.push_back("Percent Free Page File      :" +
                    Column15(Percent(s.availablePageFile, s.totalPageFile)));
    lines.push_back("--------------");
    lines.push_back("Total Virtual Memory        :" + Column15(s.totalVirtual));
    lines.push_back("Available Virtual Memory    :" + Column15(s.availableVirtual));
    std::optional<std::uint64_t> freeVirtual;
    if (s.totalVirtual && s.availableVirtual)
        freeVirtual = Percent(*s.availableVirtual, *s.totalVirtual);
    lines.push_back("Percent Free Virtual Memory :" + Column15(freeVirtual));
    lines.push_back("");
    return JoinLines(lines);
}

bool ParseMeminfo(std::string_view text, MemoryStatus* status) {
    const std::optional<std::uint64_t> total = KibField(text, "MemTotal");
    if (!total) return false;
    status->totalPhysical = *total;
    if (const auto available = KibField(text, "MemAvailable")) {
        status->availablePhysical = *available;
    } else {
        status->availablePhysical = KibField(text, "MemFree").value_or(0) +
                                    KibField(text, "Buffers").value_or(0) +
                                    KibField(text, "Cached").value_or(0);
    }
    status->totalPageFile = KibField(text, "SwapTotal").value_or(0);
    status->availablePageFile = KibField(text, "SwapFree").value_or(0);
    return true;
}

std::optional<std::uint64_t> AddressSpaceFromMaps(std::string_view maps) {
    std::uint64_t highest = 0;
    ForEachLine(maps, [&](std::string_view line) {
        // "start-end perms ...": the end address, in hexadecimal.
        const std::size_t dash = line.find('-');
        const std::size_t blank = line.find(' ');
        if (dash == std::string_view::npos || blank == std::string_view::npos || blank < dash)
            return;
        std::uint64_t top = 0;
        const auto [ptr, error] =
            std::from_chars(line.data() + dash + 1, line.data() + blank, top, 16);
        if (error != std::errc() || ptr != line.data() + blank) return;
        // The kernel's own page for fast system calls sits in the kernel half; not ours.
        if (line.ends_with("[vsyscall]")) return;
        highest = std::max(highest, top);
    });
    if (highest == 0) return std::nullopt;
    std::uint64_t limit = 1;
    while (limit < highest && limit < (std::uint64_t{1} << 63))
        limit <<= 1;
    return limit;
}

std::optional<std::uint64_t> VmSizeFromStatus(std::string_view status) {
    return KibField(status, "VmSize");
}

MemoryStatus ReadMemoryStatus() {
    MemoryStatus status;
    if (!ParseMeminfo(ReadSystemFile("/proc/meminfo").value_or(""), &status)) {
        struct sysinfo info {};
        if (sysinfo(&info) == 0) {
            const std::uint64_t unit = info.mem_unit != 0 ? info.mem_unit : 1;
            status.totalPhysical = std::uint64_t{info.totalram} * unit;
            status.availablePhysical = (std::uint64_t{info.freeram} + info.bufferram) * unit;
            status.totalPageFile = std::uint64_t{info.totalswap} * unit;
            status.availablePageFile = std::uint64_t{info.freeswap} * unit;
        }
    }
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        status.totalVirtual = limit.rlim_cur;
    else
        status.totalVirtual = AddressSpaceFromMaps(ReadSystemFile("/proc/self/maps").value_or(""));
    const std::optional<std::uint64_t> used =
        VmSizeFromStatus(ReadSystemFile("/proc/self/status").value_or(""));
    if (status.totalVirtual && used)
        status.availableVirtual = *used < *status.totalVirtual ? *status.totalVirtual - *used : 0;
    return status;
}

}  // namespace ostrel
