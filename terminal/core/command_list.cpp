#include "terminal/core/command_list.h"

#include <algorithm>
#include <fstream>
#include <istream>
#include <limits>
#include <ostream>
#include <system_error>

#include "terminal/core/user_folder.h"

namespace ostrel {

void CommandList::Record(std::string_view line) {
    position_ = 0;
    if (line.size() < kMinCommandLength) return;
    auto found = std::find(entries_.begin(), entries_.end(), line);
    if (found != entries_.end()) {
        std::rotate(entries_.begin(), found, found + 1);
        return;
    }
    if (entries_.size() == kCommandListCapacity) entries_.pop_back();
    entries_.insert(entries_.begin(), std::string(line));
}

std::string_view CommandList::BrowseOlder() {
    if (position_ < entries_.size()) ++position_;
    return Current();
}

std::string_view CommandList::BrowseNewer() {
    if (position_ > 0) --position_;
    return Current();
}

std::string_view CommandList::Current() const {
    return position_ == 0 ? std::string_view{} : std::string_view(entries_[position_ - 1]);
}

void CommandList::Clear() {
    entries_.clear();
    position_ = 0;
}

void CommandList::Load(std::istream& in) {
    Clear();
    std::string line;
    while (entries_.size() < kCommandListCapacity) {
        // Keep at most kMaxCommandFileLine + 1 characters (room for the CR of a CR LF ending);
        // the rest of a longer line is skipped without being stored.
        line.clear();
        bool sawAny = false;
        bool sawEnd = false;
        while (line.size() <= kMaxCommandFileLine) {
            const int c = in.get();
            if (c == std::char_traits<char>::eof()) break;
            sawAny = true;
            if (c == '\n') {
                sawEnd = true;
                break;
            }
            line += static_cast<char>(c);
        }
        if (!sawAny) break;
        if (!sawEnd && line.size() > kMaxCommandFileLine)
            in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > kMaxCommandFileLine) line.resize(kMaxCommandFileLine);
        if (line.size() >= kMinCommandLength) entries_.push_back(line);
    }
    position_ = 0;
}

void CommandList::Save(std::ostream& out) const {
    for (const std::string& entry : entries_) {
        out.write(entry.data(), static_cast<std::streamsize>(entry.size()));
        out.write("\r\n", 2);
    }
}

bool CommandList::LoadFile(const std::filesystem::path& path) {
    Clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    Load(in);
    return true;
}

bool CommandList::SaveFile(const std::filesystem::path& path, std::string* error) const {
    auto fail = [&](std::string reason) {
        if (error != nullptr) *error = std::move(reason) + ": " + path.string();
        return false;
    };
    std::error_code ec;
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path(), ec);
        if (ec) return fail("cannot create the folder");
    }
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return fail("cannot create the file");
        Save(out);
        out.flush();
        if (!out) {
            out.close();
            std::filesystem::remove(temporary, ec);
            return fail("cannot write the file");
        }
    }
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        return fail("cannot replace the file");
    }
    return true;
}

bool LoadCommandList(CommandList& list) {
    const auto path = FindReadableFile(kCommandFileName);
    if (!path) {
        list.Clear();
        return false;
    }
    return list.LoadFile(*path);
}

bool SaveCommandList(const CommandList& list, std::string* error) {
    return list.SaveFile(UserFolder() / kCommandFileName, error);
}

}  // namespace ostrel
