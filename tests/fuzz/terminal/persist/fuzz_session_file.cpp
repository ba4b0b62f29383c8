// Session files come from other machines and other programs, and are edited by hand: loading
// any bytes must give sane fields, and what was loaded must save and load back the same.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "../scratch_folder.h"
#include "terminal/persist/session_file.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Folder() {
    // Every save replaces files many times over: a memory file system keeps that fast.
    static const fs::path folder = ostrel::fuzzing::ScratchFolder("session");
    return folder;
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

// Fields that a line break makes unwritable (single-line values).
bool SingleLineFieldHasBreak(const ostrel::SessionFile& f) {
    const ostrel::SessionSettings& s = f.session;
    for (const std::string* text : {&s.host, &s.port, &s.serialPort, &s.sshUser, &s.name,
                                    &f.remotePanel, &f.fileSpec, &f.log.file})
        if (HasLineBreak(*text)) return true;
    return false;
}

bool Same(const ostrel::SessionFile& a, const ostrel::SessionFile& b) {
    const ostrel::SessionSettings& x = a.session;
    const ostrel::SessionSettings& y = b.session;
    return x.type == y.type && x.inUse == y.inUse && x.state == y.state && x.host == y.host &&
           x.port == y.port && x.serialPort == y.serialPort && x.baud == y.baud &&
           x.parity == y.parity && x.dataBits == y.dataBits && x.stopBits == y.stopBits &&
           x.flow == y.flow && x.timeout == y.timeout && x.httpMode == y.httpMode &&
           x.httpRequest == y.httpRequest && x.secure == y.secure && x.sshUser == y.sshUser &&
           x.sshPassword == y.sshPassword && x.name == y.name && x.comment == y.comment &&
           x.remotePort == y.remotePort && a.remotePanel == b.remotePanel &&
           a.fileSpec == b.fileSpec && a.displayType == b.displayType &&
           a.terminator == b.terminator && a.mode == b.mode && a.localEcho == b.localEcho &&
           a.remoteEcho == b.remoteEcho && a.colours == b.colours && a.log.on == b.log.on &&
           a.log.file == b.log.file && a.log.part == b.log.part && a.log.bytes == b.log.bytes &&
           a.poll.on == b.poll.on && a.poll.position == b.poll.position &&
           a.poll.period == b.poll.period && a.poll.count == b.poll.count &&
           a.poll.text.value_or("") == b.poll.text.value_or("");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string in = (Folder() / "in.ini").string();
    const std::string out = (Folder() / "out.ini").string();
    std::ofstream(in, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    const ostrel::SessionFile loaded = ostrel::ReadSessionFile(in);
    const ostrel::SessionSettings& s = loaded.session;
    if (s.host.size() > ostrel::kHostCapacity || s.port.size() > ostrel::kPortCapacity ||
        s.name.size() > ostrel::kSessionNameCapacity || s.comment.size() > ostrel::kCommentCapacity ||
        s.httpRequest.size() > ostrel::kHttpTextCapacity ||
        s.sshPassword.size() > ostrel::kSshFieldCapacity ||
        loaded.poll.text.value_or("").size() > ostrel::kPollTextCapacity ||
        (s.timeout > 10))
        std::abort();

    std::string error;
    if (!ostrel::WriteSessionFile(out, loaded, &error)) {
        if (!SingleLineFieldHasBreak(loaded)) std::abort();
        return 0;
    }
    // Saving settles what a file can hold: a "$20" in a text reads back as a space, and a space
    // that ends a text is dropped by the next save. From then on saving and loading is exact.
    const ostrel::SessionFile once = ostrel::ReadSessionFile(out);
    if (!ostrel::WriteSessionFile(out, once, &error)) std::abort();
    const ostrel::SessionFile twice = ostrel::ReadSessionFile(out);
    if (!ostrel::WriteSessionFile(out, twice, &error)) std::abort();
    const ostrel::SessionFile thrice = ostrel::ReadSessionFile(out);
    if (!Same(twice, thrice)) std::abort();
    return 0;
}
