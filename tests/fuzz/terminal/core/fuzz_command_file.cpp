// "cmnds.txt" is read from disk at start-up and may hold anything.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "terminal/core/command_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    ostrel::CommandList list;
    list.Load(in);
    if (list.Count() > ostrel::kCommandListCapacity) std::abort();
    for (const auto& entry : list.Entries()) {
        if (entry.size() < ostrel::kMinCommandLength || entry.size() > ostrel::kMaxCommandFileLine)
            std::abort();
        if (entry.find('\n') != std::string::npos) std::abort();
    }
    // What is saved loads back unchanged, even entries that end in CR or have 255 characters.
    std::ostringstream out;
    list.Save(out);
    std::istringstream again(out.str());
    ostrel::CommandList reloaded;
    reloaded.Load(again);
    if (reloaded.Entries() != list.Entries()) std::abort();
    return 0;
}
