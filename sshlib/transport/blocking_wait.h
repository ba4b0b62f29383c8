// The blocking wait of the library: waits for sockets while the calling thread's messages keep
// flowing, and the per-thread blocking flags that nest, cancel and switch off pumping.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform_types.h"

namespace tessan::net {

// Per-thread blocking flags.
inline constexpr uint32_t kFlagInWait = 1;  // the thread is inside a blocking wait
inline constexpr uint32_t kFlagCancel = 2;  // a cancel was requested for that wait
inline constexpr uint32_t kFlagNoPump = 4;  // waits are plain socket waits

uint32_t BlockingFlags();
void SetNoPump(bool on);
void ClearBlockingFlags();
bool IsInBlockingWait();

// Cancels the calling thread's blocking wait: 0 when the thread is waiting (the wait then ends
// with 10004), else -1 with 10022.
int CancelBlockingWait();
// Cancels the blocking wait of another thread, from any thread: the wait ends with 10004 soon
// (its queue is woken). False when that thread is not inside a wait at this moment.
bool CancelWaitOfThread(DWORD threadId);
// The same without an error when the thread is not waiting (used when a socket is closed).
void CancelBlockingWaitForClose();

struct WaitItem {
    int fd;
    short events;   // POLLIN, POLLOUT
    short revents;  // filled by the wait
};

// Waits until one of the items is ready or `timeoutMs` passed (negative: no limit). Unless the
// no-pump flag is set, the calling thread's queue is pumped meanwhile as soon as it has work:
// messages for windows are dispatched; a quit request is put back and ends the wait; a message
// without a window is put back and the queue is then left alone for a second (so it cannot
// spin the wait); the pump step runs at its interval. A timeout of 0 polls once.
// Returns the number of ready items, 0 on timeout or when a quit request ended the wait, or -1
// with LastSocketError(): 10036 when the thread already waits, 10004 when the wait was
// cancelled (the items then report nothing), 10093 without a poll entry, or poll's error.
int WaitForSockets(WaitItem* items, size_t count, int timeoutMs);

}  // namespace tessan::net
