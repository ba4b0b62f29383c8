// SshReadLineA/W, SshWriteLineA/W and SshSearchA/W: lines and searches on the session's data,
// built on the handle's receive buffer, its blocking wait and SshRead/SshWrite.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include "sshlib/api/client.h"
#include "sshlib/api/error_codes.h"
#include "sshlib/api/events.h"
#include "sshlib/api/global_buffer.h"
#include "sshlib/api/text_convert.h"
#include "sshlib/transport/net_errors.h"

namespace tessan {
namespace {

constexpr size_t kWritePiece = 8192;

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool HasLineFeed(const Client& client) {
    return std::memchr(client.receive.data() + client.receiveStart, '\n', client.Buffered()) !=
           nullptr;
}

// Bytes up to and including the first buffered line feed (0: none buffered).
size_t LineLength(const Client& client) {
    const uint8_t* start = client.receive.data() + client.receiveStart;
    const void* lineFeed = std::memchr(start, '\n', client.Buffered());
    return lineFeed ? static_cast<size_t>(static_cast<const uint8_t*>(lineFeed) - start) + 1 : 0;
}

struct LineRead {
    bool taken = false;  // a line (or what there is of one) was taken
    DWORD waitError = 0;
};

// Waits until a whole line is buffered, the session ends, or the handle's timeout passes, then
// takes at most `size` - 1 bytes of the line (everything buffered when the session ended or the
// time is up). `wholeCharacters`: a cut never splits a UTF-8 sequence.
LineRead TakeLine(const ClientPtr& client, char* line, size_t size, bool wholeCharacters,
                  size_t& length) {
    LineRead read;
    const int64_t deadline =
        client->timeout > 0 ? NowMs() + int64_t{client->timeout} * 1000 : int64_t{-1};
    size_t available = LineLength(*client);
    while (available == 0 && client->Alive()) {
        const int64_t remaining = deadline < 0 ? -1 : std::max<int64_t>(deadline - NowMs(), 0);
        if (remaining == 0) {
            read.waitError = kErrTimedOut;
            break;
        }
        client->status = SSH_STATUS_READ;
        Client* c = client.get();
        const DWORD error = RunBlocking(
            *client, [c] { return HasLineFeed(*c); }, static_cast<int>(remaining));
        if (client->destroyed) {
            read.waitError = error ? error : kErrCancelled;
            return read;
        }
        client->status = SSH_STATUS_IDLE;
        available = LineLength(*client);
        if (available > 0 || !client->Alive()) break;
        if (error != 0) {
            read.waitError = error;
            // The time is up: the partial line still goes to the caller.
            if (error != kErrTimedOut) return read;
            break;
        }
    }
    if (available == 0) available = client->Buffered();
    if (available == 0) return read;
    size_t count = std::min(available, size - 1);
    if (wholeCharacters && count < available) {
        const uint8_t* bytes = client->receive.data() + client->receiveStart;
        size_t cut = count;
        while (cut > 0 && (bytes[cut] & 0xC0) == 0x80)
            --cut;
        if (cut > 0) count = cut;
    }
    TakeReceived(*client, line, count, false);
    if (count > 0 && line[count - 1] == '\n') --count;
    if (count > 0 && line[count - 1] == '\r') --count;
    line[count] = 0;
    length = count;
    read.taken = true;
    return read;
}

// The shared body of the A and W forms.
BOOL ReadLine(HCLIENT handle, char* line, size_t size, bool wholeCharacters, size_t& length) {
    length = 0;
    line[0] = 0;
    ClientCall call(handle);
    if (!call) return FALSE;
    const ClientPtr& client = call.Get();
    if (!client->session) {
        SshSetLastError(KX_ERROR_NOT_CONNECTED);
        return FALSE;
    }
    if (client->Buffered() == 0 && !client->Alive()) {
        MarkClosed(*client);
        SshSetLastError(KX_ERROR_CONNECTION_CLOSED);
        return FALSE;
    }
    if (client->cancel) {
        FailCancelled(client);
        return FALSE;
    }
    LineRead read;
    {
        EventSuspension suspension(client);
        read = TakeLine(client, line, size, wholeCharacters, length);
    }
    // Reported once events are back, so that the timeout or cancel event reaches the caller.
    if (read.waitError != 0) {
        FailWait(client, read.waitError);
        return FALSE;
    }
    if (!read.taken) {
        MarkClosed(*client);
        SshSetLastError(KX_ERROR_CONNECTION_CLOSED);
        return FALSE;
    }
    return TRUE;
}

bool CheckLineArguments(const void* line, const INT* length) {
    if (!line) {
        SshSetLastError(KX_ERROR_INVALID_BUFFER);
        return false;
    }
    if (!length) {
        SshSetLastError(KX_ERROR_INVALID_PARAMETER);
        return false;
    }
    if (*length < 1) {
        SshSetLastError(KX_ERROR_BUFFER_TOO_SMALL);
        return false;
    }
    return true;
}

// Reads byte by byte until `text` has been received; see SshSearchA in tessan.h.
BOOL Search(HCLIENT handle, const char* text, LPVOID buffer, LPDWORD length) {
    ClientCall call(handle);
    if (!call) return FALSE;
    const ClientPtr& client = call.Get();
    if (client->inBlocking) {
        SshSetLastError(KX_ERROR_OPERATION_IN_PROGRESS);
        return FALSE;
    }
    if (!text || !*text) {
        SshSetLastError(KX_ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const size_t textLength = std::strlen(text);
    const size_t maximum = length ? *length : 0;  // 0: no limit
    if (length) *length = 0;

    GlobalBuffer collected;
    bool found = false;
    {
        EventSuspension suspension(client);
        size_t matched = 0;
        size_t count = 0;
        while (maximum == 0 || count < maximum) {
            char byte;
            if (SshRead(handle, &byte, 1) <= 0) break;
            ++count;
            if (buffer && !collected.Append(&byte, 1)) break;
            // A byte that breaks a partial match is not compared again with the first one.
            matched = byte == text[matched] ? matched + 1 : 0;
            if (matched == textLength) {
                found = true;
                break;
            }
        }
    }
    if (!buffer) return found;
    if (length && maximum > 0) {
        *length = static_cast<DWORD>(collected.CopyTo(buffer, maximum));
        return found;
    }
    const size_t size = collected.Size();
    HGLOBAL block = collected.Release();
    if (!block) return FALSE;
    *static_cast<HGLOBAL*>(buffer) = block;
    if (length) *length = static_cast<DWORD>(size);
    return found;
}

}  // namespace
}  // namespace tessan

using namespace tessan;

extern "C" {

TESSAN_API BOOL SSHAPI SshReadLineA(HCLIENT hClient, LPSTR lpszLine, LPINT lpnLength) {
    if (!CheckLineArguments(lpszLine, lpnLength)) return FALSE;
    size_t length = 0;
    const BOOL result = ReadLine(hClient, lpszLine, static_cast<size_t>(*lpnLength), false, length);
    *lpnLength = static_cast<INT>(length);
    return result;
}

TESSAN_API BOOL SSHAPI SshReadLineW(HCLIENT hClient, LPWSTR lpszLine, LPINT lpnLength) {
    if (!CheckLineArguments(lpszLine, lpnLength)) return FALSE;
    // UTF-8 never has fewer bytes than UTF-16 has units, so the line fits the wide buffer.
    const size_t size = static_cast<size_t>(*lpnLength);
    std::string narrow(size, '\0');
    size_t length = 0;
    const BOOL result = ReadLine(hClient, narrow.data(), size, true, length);
    CopyUtf8ToWide(std::string_view(narrow.data(), length), lpszLine, size);
    *lpnLength = static_cast<INT>(std::char_traits<char16_t>::length(lpszLine));
    return result;
}

TESSAN_API BOOL SSHAPI SshWriteLineA(HCLIENT hClient, LPCSTR lpszLine, LPINT lpnLength) {
    if (lpnLength) *lpnLength = 0;
    if (!lpszLine) {
        SshSetLastError(KX_ERROR_INVALID_BUFFER);
        return FALSE;
    }
    const size_t length = std::strlen(lpszLine);
    INT written = 0;
    bool ok = true;
    for (size_t at = 0; at < length && ok; at += kWritePiece) {
        const INT piece = static_cast<INT>(std::min(kWritePiece, length - at));
        const INT result = SshWrite(hClient, lpszLine + at, piece);
        ok = result > 0;
        if (ok) written += result;
    }
    if (ok) {
        ok = SshWrite(hClient, "\r\n", 2) == 2;
        if (ok) written += 2;
    }
    if (lpnLength) *lpnLength = written;
    return ok ? TRUE : FALSE;
}

TESSAN_API BOOL SSHAPI SshWriteLineW(HCLIENT hClient, LPCWSTR lpszLine, LPINT lpnLength) {
    if (!lpszLine) return SshWriteLineA(hClient, nullptr, lpnLength);
    const std::string narrow = WideToUtf8(lpszLine);
    return SshWriteLineA(hClient, narrow.c_str(), lpnLength);
}

TESSAN_API BOOL SSHAPI SshSearchA(HCLIENT hClient, LPCSTR lpszString, LPVOID lpBuffer,
                                  LPDWORD lpdwLength, DWORD dwReserved) {
    (void)dwReserved;
    return Search(hClient, lpszString, lpBuffer, lpdwLength);
}

TESSAN_API BOOL SSHAPI SshSearchW(HCLIENT hClient, LPCWSTR lpszString, LPVOID lpBuffer,
                                  LPDWORD lpdwLength, DWORD dwReserved) {
    (void)dwReserved;
    if (!lpszString) return Search(hClient, nullptr, lpBuffer, lpdwLength);
    const std::string narrow = WideToUtf8(lpszString);
    return Search(hClient, narrow.c_str(), lpBuffer, lpdwLength);
}

}  // extern "C"
