/*
 * messages.h - message windows, per-thread message queues, timers and the pump step.
 *
 * A "window" here is not something on screen: it is an object with a window procedure that
 * belongs to the thread that created it and receives messages. Code written for Win32 message
 * windows (notifications posted to a window, a library that subclasses the caller's window to
 * see its own messages first, window timers, a blocking call that keeps the thread's messages
 * flowing) works unchanged on top of these calls.
 *
 * Threads and queues. Every thread that uses the layer gets its own queue on first use. Posted
 * messages, due timers, the quit request and socket notifications (platform/socket_notify.h)
 * are delivered through the queue of the thread that owns the target window. Window procedures
 * always run on the owner thread: from PlatformDispatchMessage, PlatformSendMessage or a
 * blocking wait of that thread.
 *
 * Driving the queue from any event loop. PlatformGetQueueFd() returns a descriptor that polls
 * readable whenever the calling thread's queue has work (a posted message, a quit request, a
 * due timer or a socket notification to generate). A Qt program watches it with a
 * QSocketNotifier and calls PlatformPumpMessages() from the notifier's slot; a console program
 * either calls PlatformGetMessage/PlatformDispatchMessage in a loop or polls the descriptor
 * beside its own ones.
 *
 * The pump step. Libraries that block the calling thread (the SSH library's blocking calls, a
 * connect of up to several seconds) keep this thread's queue flowing while they wait. A program
 * with its own event processing besides this queue (a Qt GUI thread) registers that processing
 * as the thread's pump step (PlatformSetPumpStep, for example a function calling
 * QCoreApplication::processEvents()); every blocking wait of the layer and of its users then
 * runs the step at the requested interval, so windows keep repainting and answering.
 *
 * Failures set the calling thread's last error (PlatformGetLastError, platform/system.h):
 * ERROR_INVALID_WINDOW_HANDLE for a handle that is not a window, ERROR_ACCESS_DENIED for an
 * operation only the owner thread may do, ERROR_INVALID_PARAMETER for bad arguments,
 * ERROR_NOT_ENOUGH_MEMORY when an allocation fails.
 *
 * Usable from C and C++.
 */
#ifndef OSTREL_PLATFORM_MESSAGES_H
#define OSTREL_PLATFORM_MESSAGES_H

#include "platform/platform_types.h"

PLATFORM_EXTERN_C_BEGIN

/* Message numbers with a fixed meaning. Programs use WM_USER and above for their own. */
#define WM_NULL 0x0000
#define WM_DESTROY 0x0002
#define WM_QUIT 0x0012
#define WM_NCDESTROY 0x0082
#define WM_TIMER 0x0113
#define WM_USER 0x0400

/* PlatformPeekMessage: leave the message in the queue, or take it out. */
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

/* A message as retrieved from a queue. hwnd is NULL for thread messages and WM_QUIT. */
typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time; /* PlatformGetTickCount() when it was posted or generated */
} MSG, *LPMSG;

/* A window procedure. Its result goes back to PlatformSendMessage's caller. */
typedef LRESULT (*WNDPROC)(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

/* A link of a window's subclass chain (PlatformSubclassWindow). It receives the id and the
 * reference data it was installed with and passes messages on with PlatformDefSubclassProc. */
typedef LRESULT (*SUBCLASSPROC)(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                UINT_PTR idSubclass, DWORD_PTR refData);

/* The extra pump step of a thread; context is the value given at registration. */
typedef void (*PLATFORMPUMPSTEP)(void* context);

/* ---- windows ---------------------------------------------------------------------------- */

/* Creates a window owned by the calling thread, with procedure `proc` (may be NULL: such a
 * window answers every message with 0) and an arbitrary user value `userData`. No message is
 * sent during creation. Returns the window, or NULL (ERROR_NOT_ENOUGH_MEMORY). */
PLATFORM_API HWND PlatformCreateWindow(WNDPROC proc, void* userData);

/* Destroys a window of the calling thread: sends WM_DESTROY and then WM_NCDESTROY through the
 * whole procedure chain (subclass links first), then removes the window's subclass links, its
 * timers, its socket notification requests and every message still posted to it. The window
 * is still a window while the two messages are handled and is none afterwards; destroying it
 * again from inside those handlers does nothing and returns TRUE. A window may destroy itself
 * from its own procedure; the procedure call in progress completes normally.
 * Returns FALSE with ERROR_INVALID_WINDOW_HANDLE (not a window) or ERROR_ACCESS_DENIED (the
 * caller is not the owner thread). */
PLATFORM_API BOOL PlatformDestroyWindow(HWND hwnd);

/* TRUE if hwnd is a window that has not been (completely) destroyed. Any thread. */
PLATFORM_API BOOL PlatformIsWindow(HWND hwnd);

/* The id of the thread that owns hwnd (as PlatformGetCurrentThreadId), 0 if it is not a
 * window. Any thread. */
PLATFORM_API DWORD PlatformGetWindowThreadId(HWND hwnd);

/* The user value given at creation / replaces it and returns the previous one (NULL and
 * ERROR_INVALID_WINDOW_HANDLE when hwnd is not a window). Any thread. */
PLATFORM_API void* PlatformGetWindowData(HWND hwnd);
PLATFORM_API void* PlatformSetWindowData(HWND hwnd, void* userData);

/* The window procedure / replaces it and returns the previous one, which the new procedure
 * calls (with PlatformCallWindowProc) for what it does not handle itself. Replacing the
 * procedure this way must be undone in reverse order; subclass links (below) can be removed in
 * any order and always run before the window procedure. Returns NULL with
 * ERROR_INVALID_WINDOW_HANDLE when hwnd is not a window. Any thread. */
PLATFORM_API WNDPROC PlatformGetWindowProc(HWND hwnd);
PLATFORM_API WNDPROC PlatformSetWindowProc(HWND hwnd, WNDPROC proc);

/* Calls `proc` with the message (0 when proc is NULL). */
PLATFORM_API LRESULT PlatformCallWindowProc(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam,
                                            LPARAM lParam);

/* Installs (or updates the reference data of) the subclass link identified by (proc, id) on a
 * window. Newer links run first; each passes a message on with PlatformDefSubclassProc, the
 * last one to the window procedure. Links are removed with PlatformUnsubclassWindow in any
 * order, also while a message is travelling along the chain (a removed link is skipped from
 * then on), and all of them when the window is destroyed (after WM_NCDESTROY went through
 * them). Returns FALSE with ERROR_INVALID_WINDOW_HANDLE / ERROR_INVALID_PARAMETER (proc NULL)
 * / ERROR_NOT_ENOUGH_MEMORY. Any thread. */
PLATFORM_API BOOL PlatformSubclassWindow(HWND hwnd, SUBCLASSPROC proc, UINT_PTR idSubclass,
                                         DWORD_PTR refData);

/* Removes the link (proc, id). FALSE with ERROR_INVALID_WINDOW_HANDLE or, when no such link
 * is installed, ERROR_INVALID_PARAMETER. */
PLATFORM_API BOOL PlatformUnsubclassWindow(HWND hwnd, SUBCLASSPROC proc, UINT_PTR idSubclass);

/* Reads the reference data of the link (proc, id) into *refData. FALSE when not installed. */
PLATFORM_API BOOL PlatformGetWindowSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR idSubclass,
                                            DWORD_PTR* refData);

/* Called by a subclass link: passes the message to the next link of the chain, or to the
 * window procedure after the last link. Called outside a link, it sends the message to the
 * window procedure. */
PLATFORM_API LRESULT PlatformDefSubclassProc(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam);

/* ---- messages --------------------------------------------------------------------------- */

/* Calls the window's chain synchronously and returns its result. Only the owner thread may
 * send: from another thread the call fails (0, ERROR_ACCESS_DENIED) instead of waiting for
 * the owner, which keeps every procedure call on its owner thread without cross-thread
 * blocking. Not a window: 0 and ERROR_INVALID_WINDOW_HANDLE. */
PLATFORM_API LRESULT PlatformSendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

/* Appends a message for hwnd to the queue of its owner thread. Any thread. FALSE with
 * ERROR_INVALID_WINDOW_HANDLE when hwnd is not a window (use PlatformPostThreadMessage for
 * messages without a window). */
PLATFORM_API BOOL PlatformPostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

/* Appends a message without a window to a thread's queue. FALSE with ERROR_INVALID_PARAMETER
 * when that thread has never used the layer (it has no queue). */
PLATFORM_API BOOL PlatformPostThreadMessage(DWORD threadId, UINT message, WPARAM wParam,
                                            LPARAM lParam);

/* Asks the calling thread's loop to end: WM_QUIT (wParam = exitCode, hwnd NULL) is retrieved
 * when no posted message matches the retrieval's filter any more, ahead of timers. Repeated
 * calls before it is retrieved keep one request with the latest exit code. */
PLATFORM_API void PlatformPostQuitMessage(int exitCode);

/* Looks at the calling thread's queue without waiting. Filter: hwnd NULL accepts every message,
 * a window accepts only messages for it, (HWND)-1 only thread messages; the range
 * [filterMin, filterMax] limits message numbers unless both are 0. WM_QUIT passes any filter.
 * Order: posted messages in posting order, then the quit request, then due timers (WM_TIMER
 * with wParam = timer id; at most one per timer however late; retrieving it with PM_REMOVE
 * starts the next interval). Socket notifications become posted messages when their socket
 * event happens (they are generated here when needed). Returns TRUE and fills *msg when one
 * matched, FALSE otherwise. */
PLATFORM_API BOOL PlatformPeekMessage(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax,
                                      UINT removeFlags);

/* Takes the next matching message, waiting for one (the pump step runs during the wait).
 * Returns a positive value for a message, 0 for WM_QUIT, -1 with ERROR_INVALID_PARAMETER for a
 * NULL msg. */
PLATFORM_API int PlatformGetMessage(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax);

/* Calls the procedure chain of msg->hwnd with the message (owner thread only, else 0 and
 * ERROR_ACCESS_DENIED). Thread messages and messages for windows destroyed meanwhile are
 * dropped (result 0). */
PLATFORM_API LRESULT PlatformDispatchMessage(const MSG* msg);

/* Retrieves and dispatches every message the calling thread's queue holds now, without
 * waiting. Returns 1 when the queue is empty, 0 when WM_QUIT was retrieved (its exit code goes
 * to *exitCode when exitCode is not NULL; messages after it stay queued). */
PLATFORM_API int PlatformPumpMessages(int* exitCode);

/* The calling thread's queue descriptor: it polls readable whenever the thread's queue has
 * work (see the top of this file). It stays valid while the thread runs; do not read it or
 * close it. -1 with ERROR_NOT_ENOUGH_MEMORY when the queue cannot be created. */
PLATFORM_API int PlatformGetQueueFd(void);

/* TRUE when the calling thread's queue has work now (PlatformPeekMessage would find some).*/
PLATFORM_API BOOL PlatformQueueHasWork(void);

/* TRUE when posted messages, a quit request or a due timer wait in the calling thread's queue.
 * Unlike PlatformQueueHasWork it makes no system call and does not collect what the queue
 * descriptor holds (socket notifications, timer expiries): for a wait that watches that
 * descriptor and learns of those from it. */
PLATFORM_API BOOL PlatformQueueHasMessages(void);

/* ---- timers ----------------------------------------------------------------------------- */

/* Starts (or restarts, when (hwnd, id) already runs) a timer of a window: every `elapseMs`
 * milliseconds (at least 1) the window's owner thread receives WM_TIMER with wParam = id.
 * Returns id (non-zero) or 0 with ERROR_INVALID_WINDOW_HANDLE / ERROR_INVALID_PARAMETER
 * (id 0). */
PLATFORM_API UINT_PTR PlatformSetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs);

/* Stops a timer; a WM_TIMER not yet retrieved is not delivered. FALSE when there is no such
 * timer. */
PLATFORM_API BOOL PlatformKillTimer(HWND hwnd, UINT_PTR id);

/* ---- waiting and the pump step ---------------------------------------------------------- */

/* Registers the calling thread's pump step, run every `intervalMs` milliseconds (at least 1;
 * 0 means 10) by every blocking wait of this thread. NULL removes it. The step is never run
 * from inside itself. */
PLATFORM_API void PlatformSetPumpStep(PLATFORMPUMPSTEP step, void* context, UINT intervalMs);

/* Runs the calling thread's pump step once (nothing when none is registered or it is already
 * running on this thread). */
PLATFORM_API void PlatformRunPumpStep(void);

/* What PlatformWaitForWork reports. */
#define PLATFORM_WAIT_TIMEOUT 0
#define PLATFORM_WAIT_FDS 1   /* at least one of the given descriptors has revents set */
#define PLATFORM_WAIT_QUEUE 2 /* the calling thread's queue has work */

/* Flags of PlatformWaitForWork. */
#define PLATFORM_WAIT_WATCH_QUEUE 1 /* also return when the queue has work */

/* struct pollfd is declared by <poll.h>. */
struct pollfd;

/* The building block of blocking waits: waits until one of `fds` is ready (their revents are
 * filled as by poll), or, with PLATFORM_WAIT_WATCH_QUEUE, the calling thread's queue has work,
 * or `timeoutMs` passes (negative: no limit). The pump step runs at its interval meanwhile.
 * Returns a combination of PLATFORM_WAIT_FDS and PLATFORM_WAIT_QUEUE, PLATFORM_WAIT_TIMEOUT,
 * or -1 when poll fails (errno is kept). Messages are not retrieved. */
PLATFORM_API int PlatformWaitForWork(struct pollfd* fds, unsigned nfds, int timeoutMs,
                                     UINT flags);

PLATFORM_EXTERN_C_END

#endif /* OSTREL_PLATFORM_MESSAGES_H */
