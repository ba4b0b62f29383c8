#include "sshlib/connection/channel_table.h"

#include <algorithm>
#include <cassert>

namespace tessan::connection {

uint32_t ChannelTable::NextLocalId() const {
    // Ids are unique and at least 256, so position i holds at least 256 + i: the positions where
    // it holds exactly that form a prefix, and the first gap is found by binary search.
    size_t low = 0, high = channels_.size();
    while (low < high) {
        size_t mid = low + (high - low) / 2;
        if (channels_[mid]->localId == kFirstLocalId + mid) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    return kFirstLocalId + static_cast<uint32_t>(low);
}

Channel& ChannelTable::Insert(std::unique_ptr<Channel> channel) {
    auto at = std::lower_bound(
        channels_.begin(), channels_.end(), channel->localId,
        [](const std::unique_ptr<Channel>& c, uint32_t id) { return c->localId < id; });
    assert(at == channels_.end() || (*at)->localId != channel->localId);
    return **channels_.insert(at, std::move(channel));
}

Channel* ChannelTable::Find(uint32_t localId) const {
    auto at = std::lower_bound(
        channels_.begin(), channels_.end(), localId,
        [](const std::unique_ptr<Channel>& c, uint32_t id) { return c->localId < id; });
    return at != channels_.end() && (*at)->localId == localId ? at->get() : nullptr;
}

void ChannelTable::Remove(uint32_t localId) {
    auto at = std::find_if(
        channels_.begin(), channels_.end(),
        [localId](const std::unique_ptr<Channel>& c) { return c->localId == localId; });
    if (at != channels_.end()) channels_.erase(at);
}

}  // namespace tessan::connection
