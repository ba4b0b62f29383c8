/*
 * system.h - small kernel services of the platform layer: thread ids, the tick count, the
 * per-thread last error and movable global memory blocks.
 *
 * Usable from C and C++.
 */
#ifndef OSTREL_PLATFORM_SYSTEM_H
#define OSTREL_PLATFORM_SYSTEM_H

#include "platform/platform_types.h"

PLATFORM_EXTERN_C_BEGIN

/* Error numbers that the platform layer sets as the last error. */
#define ERROR_SUCCESS 0
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_INVALID_PARAMETER 87
#define ERROR_INVALID_WINDOW_HANDLE 1400
#define ERROR_NOT_LOCKED 158

/* The calling thread's id (the kernel's thread id; never 0). */
PLATFORM_API DWORD PlatformGetCurrentThreadId(void);

/* Milliseconds since an arbitrary fixed point (the system's monotonic clock), wrapping at
 * 2^32 (about every 49.7 days); compare tick counts by unsigned subtraction. */
PLATFORM_API DWORD PlatformGetTickCount(void);

/* The calling thread's last error: set by failing platform calls and by programs and
 * libraries for their own callers. Starts at 0 in every thread. */
PLATFORM_API DWORD PlatformGetLastError(void);
PLATFORM_API void PlatformSetLastError(DWORD error);

/* ---- movable global memory blocks ------------------------------------------------------- */
/* Results that a library hands to its caller (for example collected output) travel as global
 * memory blocks: the caller locks the handle to reach the bytes and frees the block when done.
 * Handles are checked: a value that is not a live block is refused with ERROR_INVALID_HANDLE
 * instead of being used. */

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)

/* Allocates a block of `bytes` bytes (0 is allowed; GMEM_ZEROINIT clears it). NULL with
 * ERROR_NOT_ENOUGH_MEMORY. */
PLATFORM_API HGLOBAL PlatformGlobalAlloc(UINT flags, size_t bytes);

/* Resizes a block, keeping its contents (new bytes are cleared with GMEM_ZEROINIT). A locked
 * block is resized too: pointers from an earlier PlatformGlobalLock must then be fetched again.
 * Returns the same handle, or NULL (ERROR_INVALID_HANDLE, ERROR_NOT_ENOUGH_MEMORY; the block is
 * unchanged). */
PLATFORM_API HGLOBAL PlatformGlobalReAlloc(HGLOBAL block, size_t bytes, UINT flags);

/* Returns the block's bytes and counts a lock (NULL for an invalid handle; for a block of size
 * 0 a valid non-NULL pointer to no bytes). */
PLATFORM_API void* PlatformGlobalLock(HGLOBAL block);

/* Releases one lock. Returns TRUE while locks remain, FALSE when the count reached 0 (last
 * error 0) or the block was not locked (ERROR_NOT_LOCKED) or is invalid. */
PLATFORM_API BOOL PlatformGlobalUnlock(HGLOBAL block);

/* The block's size in bytes (0 and ERROR_INVALID_HANDLE for an invalid handle). */
PLATFORM_API size_t PlatformGlobalSize(HGLOBAL block);

/* Frees the block. Returns NULL on success, the handle itself when it is not a live block. */
PLATFORM_API HGLOBAL PlatformGlobalFree(HGLOBAL block);

PLATFORM_EXTERN_C_END

#endif /* OSTREL_PLATFORM_SYSTEM_H */
