/*
 * quorn_abi.h - the calls between the SSH library and a trace library.
 *
 * The SSH library loads the trace library (file QUORN_FILE_NAME, looked for in the folder the
 * SSH library itself was loaded from) on the first SshEnableTrace, checks its version through
 * "DllGetVersion" and binds its entry points by name: "QuornOrdinal" followed by the decimal
 * ordinal number. A missing entry point is skipped. Any library that implements these entries
 * with these arguments can take the place of the one shipped.
 *
 * Usable from C (C11) and C++.
 */
#ifndef TESSAN_QUORN_ABI_H
#define TESSAN_QUORN_ABI_H

#include "platform/platform_types.h"

#define QUORN_FILE_NAME "libquorn.so"
#define QUORN_ENTRY_PREFIX "QuornOrdinal"
#define QUORN_VERSION_ENTRY "DllGetVersion"

/* The version record of "DllGetVersion" (20 bytes); the caller sets cbSize to 20. The SSH
 * library accepts version 7.0, build 7000 or later. */
typedef struct _QUORNVERSIONINFO {
    DWORD cbSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformID;
} QUORNVERSIONINFO;

/* Returns 0 after filling the record, anything else when it cannot. */
typedef INT (*QuornGetVersionProc)(QUORNVERSIONINFO* info);

/* Ordinal 2: one SshDisableTrace (also the last SshUninitialize); its result is the call's. */
#define QUORN_ORDINAL_DISABLE 2
typedef INT (*QuornDisableProc)(void);

/* Ordinal 3: every SshEnableTrace: the trace file's name and the caller's TRACE_ flags, passed
 * unchanged; non-zero when tracing into that file works. */
#define QUORN_ORDINAL_ENABLE 3
typedef INT (*QuornEnableProc)(LPCSTR fileName, DWORD flags);

/* Ordinal 7: once after loading: the socket layer's last-error functions, so that the trace
 * library can keep the error a socket call left for its caller. */
#define QUORN_ORDINAL_ERROR_FUNCTIONS 7
typedef struct _QUORNERRORFUNCTIONS {
    DWORD (*getLastError)(void);
    void (*setLastError)(DWORD error);
} QUORNERRORFUNCTIONS;
typedef void (*QuornErrorFunctionsProc)(const QUORNERRORFUNCTIONS* functions);

/* Ordinal 10: a trace record. Text: `flags` without TRACE_HEXDUMP, `data` a zero-terminated
 * text, `length` 0. Data: `flags` TRACE_HEXDUMP, `length` bytes at `data`. */
#define QUORN_ORDINAL_RECORD 10
typedef void (*QuornRecordProc)(DWORD flags, const void* data, INT length);

/* Socket hooks: called right after the socket call with its result followed by its arguments
 * (pointers and numbers as INT_PTR; arguments the call does not have are 0). */
typedef void (*QuornSocketHookProc)(INT_PTR result, INT_PTR a1, INT_PTR a2, INT_PTR a3, INT_PTR a4);
#define QUORN_ORDINAL_ACCEPT 11      /* (socket, address, address length pointer) */
#define QUORN_ORDINAL_BIND 12        /* (socket, address, address length) */
#define QUORN_ORDINAL_CLOSESOCKET 13 /* (socket) */
#define QUORN_ORDINAL_CONNECT 14     /* (socket, address, address length) */
#define QUORN_ORDINAL_IOCTLSOCKET 21 /* (socket, non-blocking on) */
#define QUORN_ORDINAL_LISTEN 22      /* (socket, backlog) */
#define QUORN_ORDINAL_RECV 23        /* (socket, buffer, size, flags) */
#define QUORN_ORDINAL_SELECT 25      /* (poll entries, count, time-out in milliseconds) */
#define QUORN_ORDINAL_SEND 26        /* (socket, buffer, size, flags) */
#define QUORN_ORDINAL_SETSOCKOPT 28  /* (socket, level, option, value) */
#define QUORN_ORDINAL_SHUTDOWN 29    /* (socket, how) */
#define QUORN_ORDINAL_SOCKET 30      /* (family, type, protocol) */
#define QUORN_ORDINAL_ASYNCSELECT 32 /* (socket, window, message, events) */

#define QUORN_FIRST_ORDINAL 2
#define QUORN_LAST_ORDINAL 34

#endif /* TESSAN_QUORN_ABI_H */
