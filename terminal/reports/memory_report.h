// "My Memory": physical memory, swap (in the place of a page file) and the process's virtual
// address space, as counts of bytes. Counts are 64-bit: a machine with more than 4 GiB would
// wrap 32-bit counts into nonsense.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

struct MemoryStatus {
    std::uint64_t totalPhysical = 0;
    std::uint64_t availablePhysical = 0;
    std::uint64_t totalPageFile = 0;  // swap
    std::uint64_t availablePageFile = 0;
    // The process's address space: its limit, and what of it is not mapped. Unknown when the
    // system does not say.
    std::optional<std::uint64_t> totalVirtual;
    std::optional<std::uint64_t> availableVirtual;
};

// The report's lines joined with CR LF, ending with an empty line.
std::string MemoryReport(const MemoryStatus& status);

// Physical memory and swap from the text of /proc/meminfo ("MemTotal:  16318480 kB" ...). Memory
// available is MemAvailable, or MemFree + Buffers + Cached on kernels without it. False when
// MemTotal is missing.
bool ParseMeminfo(std::string_view text, MemoryStatus* status);

// The process's address space: the limit is RLIMIT_AS when one is set, else the top of the
// highest user mapping in /proc/self/maps rounded up to a power of two (the user half of the
// address space); in use is VmSize of /proc/self/status.
std::optional<std::uint64_t> AddressSpaceFromMaps(std::string_view maps);
std::optional<std::uint64_t> VmSizeFromStatus(std::string_view status);

// The machine's figures: /proc/meminfo, or sysinfo() when it cannot be read.
MemoryStatus ReadMemoryStatus();

}  // namespace ostrel
