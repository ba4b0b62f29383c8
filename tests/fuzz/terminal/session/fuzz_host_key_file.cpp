// The remembered host keys file: any bytes parse; rewriting keeps every entry and reads back
// the same; entries stay within their bounds; an added entry is found.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "terminal/session/host_keys.h"

using ostrel::HostKeyEntry;
using ostrel::HostKeyList;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    HostKeyList list = HostKeyList::Parse(text);
    const std::vector<HostKeyEntry> entries = list.Entries();
    for (const HostKeyEntry& e : entries) {
        if (e.host.empty() || e.host.size() > ostrel::kMaxHostKeyHost || e.port < 0 ||
            e.port > 65535 || e.fingerprint.empty() ||
            e.fingerprint.size() > ostrel::kMaxFingerprint)
            std::abort();
        const HostKeyEntry* found = list.Find(e.host, e.port);
        if (found == nullptr || found->port != e.port) std::abort();
    }
    const std::string formatted = list.Format();
    const HostKeyList again = HostKeyList::Parse(formatted);
    if (again.Entries() != entries || again.Format() != formatted) std::abort();

    if (!list.Add("fuzz.host", 2222, "0a:1b")) std::abort();
    const HostKeyList added = HostKeyList::Parse(list.Format());
    const HostKeyEntry* found = added.Find("FUZZ.host", 2222);
    if (found == nullptr) std::abort();
    if (added.Entries().size() != entries.size() + 1) std::abort();
    return 0;
}
