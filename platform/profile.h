/*
 * profile.h - profile (INI) files, read and written the way the Windows private-profile
 * functions do it, so that session and panel files made on Windows load here unchanged and
 * files written here load there.
 *
 * File layout (what is read):
 *   - Lines end with LF or CR LF. A UTF-8 byte-order mark at the start is skipped.
 *   - Every line is trimmed of blanks (spaces and tabs). Empty lines are ignored; a line that
 *     starts with ";" is a comment and is ignored.
 *   - "[name]" starts a section; the name is the text up to the first "]", trimmed (the rest of
 *     the line is ignored; without a "]" the name runs to the end of the line).
 *   - Any other line is an entry "key=value": the key is the text before the first "=", the
 *     value the text after it, both trimmed. Further "=" and ";" are part of the value. A line
 *     without "=" is an entry with an empty value.
 *   - A value enclosed in one pair of matching quotes (both " or both ') loses that one pair.
 *   - Section and key names are matched without regard to case (ASCII letters).
 *   - Of several sections with the same name only the first is read and written; of several
 *     entries with the same key in it, only the first.
 *   - Entries before the first section line belong to the section whose name is "".
 *
 * What is written: every line of the file ends with CR LF afterwards; an existing entry keeps
 * its key as spelt in the file and gets the new value; a new entry goes after the last entry of
 * its section; a new section ("[name]" and the entry) goes at the end of the file. Other lines,
 * comments included, stay as they were. The file is replaced as a whole (a new file written
 * beside it and renamed over it, keeping its permissions; in place when the folder cannot take
 * a new file), so a failed write leaves the old file as it was.
 *
 * File names are ordinary paths (a bare name is in the current folder). Files larger than
 * PLATFORM_PROFILE_MAX_FILE bytes are read only up to that size and are never rewritten.
 * Calls from several threads are serialised.
 *
 * Usable from C and C++.
 */
#ifndef OSTREL_PLATFORM_PROFILE_H
#define OSTREL_PLATFORM_PROFILE_H

#include "platform/platform_types.h"
#include "platform/system.h"

PLATFORM_EXTERN_C_BEGIN

/* Last-error numbers of the profile functions, besides those of system.h. */
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_PATH_NOT_FOUND 3
#define ERROR_WRITE_FAULT 29
#define ERROR_FILE_TOO_LARGE 223

#define PLATFORM_PROFILE_MAX_FILE (64u * 1024u * 1024u)

/*
 * Reads from the profile file fileName.
 *
 *   section, key given: copies the value of key in section into buffer. When the file, the
 *       section or the key is missing, copies defaultValue instead (NULL counts as "") with its
 *       trailing blanks removed.
 *   key NULL: copies the keys of section, each followed by a zero byte, and one more zero byte
 *       after the last (the default as above when the section is missing).
 *   section NULL: copies the names of all sections the same way.
 *
 * The text is cut to fit: a single value to size - 1 bytes and a terminating zero; a list keeps
 * its whole strings and cuts the last one that does not fit, ending with two zero bytes.
 *
 * Returns the number of bytes copied without the terminating zero: for a single value at most
 * size - 1; for a list the bytes of all strings and their zeros except the final one, and
 * size - 2 when it was cut. Returns 0 and copies nothing when buffer is NULL or size is 0 (with
 * size 1 only the terminating zero is copied).
 *
 * Last error: ERROR_SUCCESS when the value or list was found; ERROR_FILE_NOT_FOUND when the
 * default was copied (file, section or key missing, or the file unreadable); ERROR_INVALID_PARAMETER
 * for a NULL buffer or a NULL or empty fileName (the default is then copied when possible).
 */
PLATFORM_API DWORD PlatformGetPrivateProfileStringA(LPCSTR section, LPCSTR key,
                                                    LPCSTR defaultValue, LPSTR buffer,
                                                    DWORD size, LPCSTR fileName);

/*
 * Writes to the profile file fileName (created when missing; its folder must exist).
 *
 *   section, key, value given: sets key in section to value (the value is written as given;
 *       readers trim it and remove one pair of surrounding quotes).
 *   value NULL: removes the first entry of key in section.
 *   key NULL: removes the section: its section line and all lines up to the next section.
 *   section, key and value all NULL: nothing to do (there is no cache to flush); returns TRUE.
 *
 * Returns TRUE on success. FALSE with the last error:
 *   ERROR_INVALID_PARAMETER  section NULL while key or value is given; fileName NULL or empty;
 *                            a section name holding "]", a key that is blank, holds "=" or
 *                            starts with "[" or ";", or any text holding a CR or LF (such a
 *                            line would read back as something else);
 *   ERROR_FILE_TOO_LARGE     the file is larger than PLATFORM_PROFILE_MAX_FILE;
 *   ERROR_ACCESS_DENIED      the file or its folder may not be written (read-only folder,
 *                            read-only file system, permissions);
 *   ERROR_PATH_NOT_FOUND     the folder does not exist;
 *   ERROR_WRITE_FAULT        any other failure to read or write the file (disk full ...).
 * The file is unchanged after a failure.
 */
PLATFORM_API BOOL PlatformWritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value,
                                                     LPCSTR fileName);

/*
 * A profile file read once and held in memory, for callers that read or write many keys: each
 * call above reads (and a write rewrites) the whole file. Reads and edits of a document give
 * exactly what the calls above give on the file, and saving it writes exactly the bytes the same
 * sequence of writes would have left in the file. A document belongs to one thread at a time.
 */
typedef struct PlatformProfile* HPROFILE;

/*
 * Reads fileName once (the same bounded read as the calls above). A NULL or empty name, a
 * missing file and an unreadable one give a document that reads like such a file (every read
 * gives its default) and whose first edit starts from an empty text. Returns NULL only when
 * memory runs out. Last error: ERROR_SUCCESS, or ERROR_FILE_NOT_FOUND when the file could not be
 * read.
 */
PLATFORM_API HPROFILE PlatformOpenProfileA(LPCSTR fileName);

/* PlatformGetPrivateProfileStringA on the document (ERROR_INVALID_PARAMETER for a NULL
 * document). */
PLATFORM_API DWORD PlatformGetProfileStringA(HPROFILE profile, LPCSTR section, LPCSTR key,
                                             LPCSTR defaultValue, LPSTR buffer, DWORD size);

/* PlatformWritePrivateProfileStringA on the document: its text changes as the file's would, and
 * fails as it would (a file that was too large or could not be read cannot be changed). */
PLATFORM_API BOOL PlatformSetProfileStringA(HPROFILE profile, LPCSTR section, LPCSTR key,
                                            LPCSTR value);

/* The document's text: *text points at it (valid until the next edit or the close); returns
 * its length. */
PLATFORM_API DWORD PlatformGetProfileText(HPROFILE profile, LPCSTR* text);

/*
 * Writes the document's text to fileName in one go, the way the write call does: an existing
 * file is replaced by a new one renamed over it and keeps its permissions; a file that does not
 * exist yet is created with the permission bits newFileMode (the write call uses 0666; the
 * process's umask applies), so a file that will hold a secret is never readable by others, not
 * even while it is written. Returns TRUE, or FALSE with the last errors of the write call.
 */
PLATFORM_API BOOL PlatformSaveProfileA(HPROFILE profile, LPCSTR fileName, DWORD newFileMode);

/* Wipes the text (profile files may hold an encoded password) and releases the document. NULL
 * is ignored. */
PLATFORM_API void PlatformCloseProfile(HPROFILE profile);

PLATFORM_EXTERN_C_END

#endif /* OSTREL_PLATFORM_PROFILE_H */
