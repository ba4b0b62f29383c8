/*
 * platform_types.h - the basic types of the platform layer.
 *
 * Both programs of this project were first written against the Win32 API; the platform layer
 * keeps that API's type names so that records and signatures read the same on every system.
 * Widths are fixed (DWORD is 32 bits on every system); message parameters and results are
 * pointer-sized. Wide text is UTF-16 (char16_t).
 *
 * Usable from C (C11) and C++.
 */
#ifndef OSTREL_PLATFORM_PLATFORM_TYPES_H
#define OSTREL_PLATFORM_PLATFORM_TYPES_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#if defined(OSTREL_PLATFORM_BUILD)
#define PLATFORM_API __attribute__((visibility("default")))
#else
#define PLATFORM_API
#endif

#ifdef __cplusplus
#define PLATFORM_EXTERN_C_BEGIN extern "C" {
#define PLATFORM_EXTERN_C_END }
#else
#define PLATFORM_EXTERN_C_BEGIN
#define PLATFORM_EXTERN_C_END
#endif

typedef int32_t BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef int32_t INT;
typedef int32_t LONG;
typedef uintptr_t UINT_PTR;
typedef uintptr_t DWORD_PTR;
typedef intptr_t INT_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef char16_t WCHAR;
typedef char CHAR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef CHAR* LPSTR;
typedef const CHAR* LPCSTR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef BYTE* LPBYTE;
typedef DWORD* LPDWORD;
typedef INT* LPINT;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

/* A window handle. Handles are opaque numbers that the platform layer never reuses within a
 * process, so a stale handle is simply "not a window". NULL is never a window. */
typedef struct PlatformWindowTag* HWND;

/* A movable global memory block (see platform/system.h). */
typedef struct PlatformGlobalTag* HGLOBAL;

/* A date and time split into fields, as handed to callers in records. */
typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME, *LPSYSTEMTIME;

#endif /* OSTREL_PLATFORM_PLATFORM_TYPES_H */
