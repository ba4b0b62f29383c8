/*
 * socket_notify.h - socket event notifications posted to a window, and the socket-style error
 * numbers they carry.
 *
 * A program asks for events of a (TCP) socket to be posted to one of its windows as a message
 * of its choice. Each notification has wParam = the socket and lParam = event | (error << 16),
 * where error is a socket-style error number (PlatformSocketErrorFromErrno) or 0.
 *
 * When notifications are posted:
 * - PLATFORM_FD_CONNECT: once, when a non-blocking connect that was started before or after the
 *   request completes; error = why it failed, 0 on success. A successful connect is followed
 *   by PLATFORM_FD_WRITE.
 * - PLATFORM_FD_READ: when data arrive; PLATFORM_FD_OOB when urgent data arrive;
 *   PLATFORM_FD_ACCEPT when a listening socket has a connection waiting. One notification of a
 *   kind is posted at a time: the next is posted for data that arrive after it was retrieved
 *   from the queue, or when the program calls PlatformSocketReenable after reading (which posts
 *   at once if readable data remain, so a reader that reads only part of the data is told
 *   again).
 * - PLATFORM_FD_WRITE: once the socket is connected and writable, then again only after
 *   PlatformSocketReenable(PLATFORM_FD_WRITE), which a sender calls when a send would block;
 *   it is posted when room appears (at once if there is room).
 * - PLATFORM_FD_CLOSE: once, when the peer has closed the connection (error 0) or the
 *   connection broke (error = the reason, for example 10054 for a reset). Data that are still
 *   readable are announced by PLATFORM_FD_READ first.
 * When the request is made, events whose condition already holds are posted at once.
 *
 * The request stays until it is replaced, cancelled (events 0 or hwnd NULL), the window is
 * destroyed, or the socket is closed through a caller that cancels it first. Close a socket
 * only after cancelling its request (a new socket may reuse the number).
 *
 * Usable from C and C++.
 */
#ifndef OSTREL_PLATFORM_SOCKET_NOTIFY_H
#define OSTREL_PLATFORM_SOCKET_NOTIFY_H

#include "platform/platform_types.h"

PLATFORM_EXTERN_C_BEGIN

#define PLATFORM_FD_READ 1
#define PLATFORM_FD_WRITE 2
#define PLATFORM_FD_OOB 4
#define PLATFORM_FD_ACCEPT 8
#define PLATFORM_FD_CONNECT 16
#define PLATFORM_FD_CLOSE 32
#define PLATFORM_FD_ALL_EVENTS 63

/* Builds and splits the lParam of a notification. */
#define PLATFORM_SELECT_LPARAM(event, error) ((LPARAM)(((DWORD)(error) << 16) | (DWORD)(event)))
#define PLATFORM_SELECT_EVENT(lParam) ((WORD)((DWORD)(lParam) & 0xFFFF))
#define PLATFORM_SELECT_ERROR(lParam) ((WORD)(((DWORD)(lParam) >> 16) & 0xFFFF))

/* Requests notifications of `events` (PLATFORM_FD_ bits) for `socket`, posted to `hwnd` as
 * `message`; replaces any earlier request for the socket. The socket is switched to
 * non-blocking mode. events 0 or hwnd NULL cancels the request (notifications already posted
 * stay in the queue). Any thread. Returns 0, or -1 with the last error set to
 * ERROR_INVALID_WINDOW_HANDLE, ERROR_INVALID_PARAMETER (events outside the six bits), or the
 * socket-style number of a system failure (10038 when `socket` is not a descriptor). */
PLATFORM_API int PlatformAsyncSelect(int socket, HWND hwnd, UINT message, LONG events);

/* Re-enables notifications after the program acted on them (see the top of this file): for
 * PLATFORM_FD_READ, PLATFORM_FD_OOB and PLATFORM_FD_ACCEPT the socket is checked now and a
 * notification posted if its condition holds; PLATFORM_FD_WRITE arms one write notification.
 * Does nothing for a socket without a request. Any thread. */
PLATFORM_API void PlatformSocketReenable(int socket, LONG events);

/* The socket-style error number for a POSIX errno value (the numbering of Windows Sockets:
 * ECONNREFUSED 10061, ETIMEDOUT 10060, EHOSTUNREACH 10065, ENETUNREACH 10051, ECONNRESET 10054,
 * EWOULDBLOCK 10035, EINPROGRESS 10036, ...); 0 for 0. Values without a socket-style number map
 * to the nearest kind: EPIPE to 10054, ENOMEM to 10012, anything unknown to 10045 (operation
 * not supported). */
PLATFORM_API DWORD PlatformSocketErrorFromErrno(int posixErrno);

PLATFORM_EXTERN_C_END

#endif /* OSTREL_PLATFORM_SOCKET_NOTIFY_H */
