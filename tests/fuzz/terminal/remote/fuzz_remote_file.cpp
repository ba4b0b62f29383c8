// Panel files come from other machines and are edited by hand: loading any bytes must give
// fields within their capacities, and what was loaded must save and load back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "../scratch_folder.h"
#include "terminal/remote/remote_file.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Folder() {
    // Every save replaces a file: a memory file system keeps that fast.
    static const fs::path folder = ostrel::fuzzing::ScratchFolder("remote");
    return folder;
}

using ostrel::RemoteButton;
using ostrel::RemoteDefinition;

bool WithinCapacities(const RemoteDefinition& p) {
    bool ok = p.caption.size() <= ostrel::kRemoteCaptionCapacity &&
              p.author.size() <= ostrel::kRemoteAuthorCapacity &&
              p.comments.size() <= ostrel::kRemoteCommentsCapacity &&
              p.netlinxDevice.size() <= ostrel::kNetlinxDeviceCapacity &&
              p.style.size() <= ostrel::kRemoteStyleCapacity;
    for (const RemoteButton& b : p.buttons)
        ok = ok && b.caption.size() <= ostrel::kButtonCaptionCapacity &&
             b.altCaption.size() <= ostrel::kButtonCaptionCapacity &&
             b.pushString.size() <= ostrel::kButtonStringCapacity &&
             b.repeatString.size() <= ostrel::kButtonStringCapacity &&
             b.releaseString.size() <= ostrel::kButtonStringCapacity && !b.toggled;
    return ok;
}

auto Fields(const RemoteButton& b) {
    return std::tie(b.caption, b.altCaption, b.pushString, b.repeatString, b.releaseString,
                    b.toggle, b.hold, b.holdTime);
}

bool Same(const RemoteDefinition& a, const RemoteDefinition& b) {
    if (std::tie(a.caption, a.author, a.comments, a.netlinxDevice, a.netlinxPassThrough,
                 a.buttonCount, a.buttonWidth, a.timerRate, a.lineTerminator, a.height, a.width) !=
        std::tie(b.caption, b.author, b.comments, b.netlinxDevice, b.netlinxPassThrough,
                 b.buttonCount, b.buttonWidth, b.timerRate, b.lineTerminator, b.height, b.width))
        return false;
    for (std::size_t i = 0; i < a.buttons.size(); ++i)
        if (Fields(a.buttons[i]) != Fields(b.buttons[i])) return false;
    return true;
}

void Save(const std::string& path, const RemoteDefinition& panel) {
    std::string error;
    if (!ostrel::WriteRemoteFile(path, panel,
                                 static_cast<ostrel::LineTerminator>(panel.lineTerminator),
                                 panel.height, panel.width, &error))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string in = (Folder() / "in.qzr").string();
    const std::string out = (Folder() / "out.qzr").string();
    std::ofstream(in, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    const RemoteDefinition loaded = ostrel::ReadRemoteFile(in);
    if (!WithinCapacities(loaded)) std::abort();
    // A panel read from a file always saves: its texts cannot hold a line break.
    Save(out, loaded);
    // Saving settles what a file can hold (a "$20" in the comments reads back as a space, a
    // space that ends them is dropped by the next save); from then on it is exact.
    const RemoteDefinition once = ostrel::ReadRemoteFile(out);
    Save(out, once);
    const RemoteDefinition twice = ostrel::ReadRemoteFile(out);
    Save(out, twice);
    const RemoteDefinition thrice = ostrel::ReadRemoteFile(out);
    if (!WithinCapacities(thrice) || !Same(twice, thrice)) std::abort();
    return 0;
}
