/*
 * tessan.h - Tessan, an SSH client library with a flat C interface.
 *
 * A client handle stands for one SSH connection with one interactive session (a shell or a
 * command). The caller connects with a host, port, user name and password, then reads and
 * writes the session's data like a socket. A handle works in blocking mode (calls wait, keeping
 * the calling thread's messages flowing) or in event-driven mode (a window of the caller
 * receives notifications and calls never wait).
 *
 * Conventions of every function:
 * - Failure is reported through the calling thread's last error (SshGetLastError), a KX_ERROR_
 *   code. Functions return a handle (INVALID_CLIENT on failure), a count or status (SSH_ERROR
 *   on failure) or a boolean (0 on failure).
 * - A and W forms: A functions take and give text as bytes in the process locale (UTF-8 on
 *   Linux); W functions take and give UTF-16 (WCHAR = char16_t), convert to the A form and
 *   call it. Unpaired surrogates become '?', invalid UTF-8 on the way back U+FFFD.
 * - Calls on a handle are made from the thread that created it, or one attached with
 *   SshAttachThread, unless the handle was connected with SSH_OPTION_FREETHREAD.
 * - Threads: the calls of one handle are serialised. While a thread is inside a call of a handle
 *   (a blocking read waiting included), a call of the same handle from another thread (possible
 *   with SSH_OPTION_FREETHREAD) fails at once with KX_ERROR_HANDLE_IN_USE and leaves the handle
 *   untouched; retry it later. The thread inside the call may nest calls (window procedures and
 *   callbacks run by its wait). SshIsBlocking, SshGetStatus, SshGetTimeout, SshSetTimeout,
 *   SshCancel and SshAttachThread are never refused so. Different handles are independent.
 * - Blocking waits keep the calling thread's message queue flowing (platform/messages.h),
 *   including its registered pump step, so window procedures and event callbacks may run
 *   inside blocking calls. The library starts no thread that runs caller code.
 * - Memory handed to the caller (SshSearchA, SshExecuteA) is a movable global memory block
 *   (platform/system.h) that the caller frees with PlatformGlobalFree.
 *
 * Record sizes. Records without pointers keep fixed sizes on every system (INITDATA 156,
 * INITDATAW 284, SSHOPTIONS 952, SSHOPTIONSW 1880 bytes); records with pointers
 * (SECURITYINFO, SECURITYCREDENTIALS) have their native size, sizeof(...), which the dwSize
 * checks use.
 *
 * Availability. Every function declared here is exported (marked [available]).
 *
 * What the library guarantees:
 * - All protocol, compression and cryptographic code is its own; it needs nothing but the C
 *   and C++ runtime, POSIX and the platform library installed beside it (and, while a caller
 *   traces, the trace library beside it).
 * - Every packet's MAC is checked, in constant time, before its contents are used (only its
 *   length field is read first, to know where the packet ends); a packet that fails the check
 *   ends the connection.
 * - What the server sends is read with bounded memory: packet sizes are limited, the session
 *   window is the library's own, and decompressed packets have a size limit. A server that sends
 *   more than one maximum packet beyond the window it was given is cut off
 *   (KX_ERROR_UNEXPECTED_SERVER_RESPONSE); event-mode writes stop at a 1 MiB backlog.
 * - Host keys: the server's signature over the key exchange is checked, and keys too weak to
 *   trust (RSA below 1024 bits, DSA outside the sizes 1024/160, 2048/224, 2048/256, 3072/256)
 *   are refused with KX_ERROR_HOST_KEY_NOT_VERIFIED; a group-exchange prime of the wrong size or
 *   with a small factor fails the exchange. A caller that names the host key it expects
 *   (SECURITYCREDENTIALS.lpszHostKey: the SHA-256 or MD5 fingerprint) has any other key refused
 *   with KX_ERROR_HOST_KEY_MISMATCH before the password, or anything else, is sent.
 * - Passwords, session keys and the plaintext of packets are wiped from every buffer before it
 *   is freed or reused, the compressor's window included; the random pool reseeds in a child
 *   made by fork.
 *
 * Algorithms offered, in order of preference (protocol 2):
 *   key exchange  diffie-hellman-group-exchange-sha256, diffie-hellman-group-exchange-sha1,
 *                 diffie-hellman-group14-sha1, diffie-hellman-group1-sha1
 *   host keys     ssh-rsa, ssh-dss
 *   ciphers       aes256-ctr, aes256-cbc, rijndael-cbc@lysator.liu.se, aes192-ctr,
 *                 aes192-cbc, aes128-ctr, aes128-cbc, blowfish-ctr, blowfish-cbc, 3des-ctr,
 *                 3des-cbc, arcfour256, arcfour128
 *   MACs          hmac-sha1, hmac-sha1-96, hmac-md5
 *   compression   none, zlib ("zlib" only when the server offers no uncompressed mode)
 * Modern algorithms, offered after the lists above (SSH_OPTION_PREFERMODERN puts them first):
 *   key exchange  curve25519-sha256, curve25519-sha256@libssh.org, ecdh-sha2-nistp256,
 *                 diffie-hellman-group16-sha512, diffie-hellman-group18-sha512,
 *                 diffie-hellman-group14-sha256; and kex-strict-c-v00@openssh.com, which asks
 *                 for the strict key exchange
 *   host keys     ssh-ed25519, ecdsa-sha2-nistp256, rsa-sha2-512, rsa-sha2-256
 *   ciphers       chacha20-poly1305@openssh.com, aes128-gcm@openssh.com,
 *                 aes256-gcm@openssh.com
 *   MACs          hmac-sha2-256, hmac-sha2-512, hmac-sha2-256-etm@openssh.com,
 *                 hmac-sha2-512-etm@openssh.com, hmac-sha1-etm@openssh.com
 *   chacha20-poly1305 and the -etm MACs are offered only to a server that offers the strict
 *   key exchange (without it they are open to prefix truncation). Our own ephemeral keys
 *   (X25519, P-256) and the authentication tags are handled in constant time.
 * Protocol 1, used only when the server has no protocol 2 and the credentials allow it (the
 * default does; SECURITY_PROTOCOL_SSH2 forbids it): triple DES, Blowfish, single DES, with a
 * CRC-32 check instead of a MAC. Many of these algorithms (group 1, ssh-dss, arcfour, single
 * and triple DES, hmac-md5, protocol 1 as a whole) are weak by today's standards; they are
 * offered so that older control-system equipment can be reached.
 *
 * What the library does NOT do:
 * - It keeps no list of known hosts. Without an expected host key (lpszHostKey NULL or empty)
 *   any host key whose signature is valid is accepted, and its fingerprint
 *   (SshGetSecurityInformationA) can be compared only after the connect, when the password has
 *   been sent: a caller that remembers fingerprints should pass the one it knows for the host.
 * - The portable AES code is table-based and not constant-time. It is used where the processor
 *   lacks AES instructions; there, and for Blowfish and DES everywhere, the time a block takes
 *   depends on key and data, which another program on the same machine may be able to observe
 *   through the processor's caches.
 * - No public-key or keyboard-interactive login, no port or X11 forwarding, one session per
 *   connection.
 *
 * Usable from C (C11) and C++.
 */
#ifndef TESSAN_TESSAN_H
#define TESSAN_TESSAN_H

#include "platform/platform_types.h"

#if defined(TESSAN_BUILD)
#define TESSAN_API __attribute__((visibility("default")))
#else
#define TESSAN_API
#endif
/* Calling convention of the exports: the platform's default. */
#define SSHAPI

#ifdef __cplusplus
extern "C" {
#endif

/* ======================================================================================
 * Basic types and results
 * ====================================================================================== */

/* A client handle: a 32-bit value (handle base 4096..4351 plus a table index). */
typedef INT HCLIENT;

#define INVALID_CLIENT (-1)
#define SSH_ERROR (-1)

/* ======================================================================================
 * Library lifecycle (INITDATA)
 * ====================================================================================== */

#define SSH_VERSION_MAJOR 7
#define SSH_VERSION_MINOR 0
#define SSH_VERSION_BUILD 7000
#define SSH_DESCRIPTION_LENGTH 128

/* Filled by SshInitializeA. The caller sets dwSize to sizeof(INITDATA) (156) and dwOptions
 * to 0. */
typedef struct _INITDATA {
    DWORD dwSize;         /* in: 156 */
    DWORD dwVersionMajor; /* out: SSH_VERSION_MAJOR */
    DWORD dwVersionMinor; /* out: SSH_VERSION_MINOR */
    DWORD dwVersionBuild; /* out: SSH_VERSION_BUILD */
    DWORD dwOptions;      /* in: 0; out: 0 */
    DWORD dwReserved1;    /* out: 0, reserved */
    DWORD dwReserved2;    /* out: non-zero (the socket subsystem's version word, 0x0202) once
                             the socket subsystem is started; otherwise 0 */
    CHAR szDescription[SSH_DESCRIPTION_LENGTH]; /* out: "Carrack Secure Shell Protocol
                                                   Library" */
} INITDATA, *LPINITDATA;

/* The W form: the same with a wide description; dwSize 284. */
typedef struct _INITDATAW {
    DWORD dwSize;
    DWORD dwVersionMajor;
    DWORD dwVersionMinor;
    DWORD dwVersionBuild;
    DWORD dwOptions;
    DWORD dwReserved1;
    DWORD dwReserved2;
    WCHAR szDescription[SSH_DESCRIPTION_LENGTH];
} INITDATAW, *LPINITDATAW;

/* [available] Starts the library for the caller; each successful call needs one
 * SshUninitialize. `lpszReserved` is accepted and not interpreted (may be NULL).
 * `lpInitData` may be NULL; when given, its dwSize must be 156 and it receives the version
 * and description. Starts the socket subsystem.
 * Returns non-zero on success (last error 0), 0 on failure:
 *   KX_ERROR_INVALID_PARAMETER    dwSize is not 156 (nothing started)
 *   KX_ERROR_NETWORK_NOT_AVAILABLE the socket subsystem cannot be started (nothing started) */
TESSAN_API BOOL SSHAPI SshInitializeA(LPCSTR lpszReserved, LPINITDATA lpInitData);

/* [available] As SshInitializeA; `lpInitData` (may be NULL) must have dwSize 284, else
 * KX_ERROR_INVALID_PARAMETER. The description comes back as UTF-16. */
TESSAN_API BOOL SSHAPI SshInitializeW(LPCWSTR lpszReserved, LPINITDATAW lpInitData);

/* [available] Undoes one successful SshInitialize. The last one destroys every client handle
 * still open, restores every window the library subclassed, ends tracing and cleans up the
 * socket subsystem. A call of a handle in progress on another thread is ended first: its wait is
 * cancelled and the call fails with KX_ERROR_OPERATION_CANCELED (SshUninitialize waits for it to
 * return; from then on calls of the handle fail with KX_ERROR_INVALID_HANDLE). A call without a
 * matching SshInitialize does nothing. */
TESSAN_API void SSHAPI SshUninitialize(void);

/* ======================================================================================
 * Errors
 * ====================================================================================== */

/* [available] The calling thread's last error (0 = none). */
TESSAN_API DWORD SSHAPI SshGetLastError(void);

/* [available] Sets the calling thread's last error. A value from 1 to 65535 (a socket-style
 * error number such as 10060) becomes the library code 0x80040000 | value; 0 and codes with
 * the top bit set are stored as they are. The value is also set as the platform's last error
 * (PlatformSetLastError). */
TESSAN_API void SSHAPI SshSetLastError(DWORD dwError);

/* [available] Copies the text of error `dwError` (0: the calling thread's last error) into
 * `lpszError`, a buffer of `nMaxLength` characters, and returns the text's length (without
 * the terminating zero). When lpszError is NULL, the call only measures the text.
 * Returns 0 and leaves an empty string (when nMaxLength > 0) when there is no error, when the
 * code has no text, or when the buffer cannot hold the text and its terminating zero. Texts
 * have no trailing line end. The last error is not changed. */
TESSAN_API INT SSHAPI SshGetErrorStringA(DWORD dwError, LPSTR lpszError, INT nMaxLength);

/* [available] As SshGetErrorStringA with a UTF-16 buffer of `nMaxLength` characters. */
TESSAN_API INT SSHAPI SshGetErrorStringW(DWORD dwError, LPWSTR lpszError, INT nMaxLength);

/* [available] Copies what the library knows beyond the code about the calling thread's last
 * error into `lpszDetail`, a buffer of `nMaxLength` characters, and returns its length (without
 * the terminating zero); NULL only measures. Filled when a connect call fails in the key
 * exchange (KX_ERROR_KEY_EXCHANGE_FAILED, KX_ERROR_HOST_KEY_NOT_VERIFIED: what was wrong, as
 * told to the server; KX_ERROR_HOST_KEY_MISMATCH: that, then ": the server presented " and the
 * presented key's MD5 form "<name> <bits> <hex>" and, after a blank, its SHA-256 form) or because
 * the server ended the connection with a description (its text). A failed negotiation names the
 * kind that had nothing in common and quotes the server's offer, e.g. "No common host key algorithm
 * (the server offers: ssh-dss)". Every other setting of the last error empties it. Returns 0 and
 * leaves an empty string (when nMaxLength > 0) when there is no detail or the buffer cannot hold it
 * and its terminating zero. The last error is not changed. */
TESSAN_API INT SSHAPI SshGetErrorDetailA(LPSTR lpszDetail, INT nMaxLength);
/* [available] As SshGetErrorDetailA with a UTF-16 buffer of `nMaxLength` characters. */
TESSAN_API INT SSHAPI SshGetErrorDetailW(LPWSTR lpszDetail, INT nMaxLength);

/* Error codes (KX_ERROR_...): see tessan_errors.h. */
#include "tessan_errors.h"

/* ======================================================================================
 * Client handles and connections
 * ====================================================================================== */

/* Status of a handle (SshGetStatus). */
#define SSH_STATUS_UNUSED 0
#define SSH_STATUS_IDLE 1
#define SSH_STATUS_CONNECT 2
#define SSH_STATUS_AUTHENTICATE 3
#define SSH_STATUS_READ 4
#define SSH_STATUS_WRITE 5
#define SSH_STATUS_DISCONNECT 6

#define SSH_PORT_DEFAULT 22 /* used when the port given is 0 */
#define SSH_TIMEOUT 60      /* declared default; a timeout of 0 at connect means 20 seconds */

/* Options of the connect calls (dwOptions). */
#define SSH_OPTION_NONE 0x0000
#define SSH_OPTION_DEFAULT 0x0000
#define SSH_OPTION_KEEPALIVE 0x0001   /* recorded; nothing else depends on it */
#define SSH_OPTION_NOPTY 0x0002       /* request no pseudo-terminal */
#define SSH_OPTION_NOSHELL 0x0004     /* start no shell or command */
#define SSH_OPTION_NOAUTHRSA 0x0008   /* the server chokes on protocol-1 RSA authentication */
#define SSH_OPTION_NOPWDNUL 0x0010    /* send the plain protocol-1 password */
#define SSH_OPTION_NOREKEY 0x0020     /* the server cannot re-exchange keys */
#define SSH_OPTION_COMPATSID 0x0040   /* signatures without the session-identifier length */
#define SSH_OPTION_COMPATHMAC 0x0080  /* 16-byte HMAC keys */
#define SSH_OPTION_TERMINAL 0x0100    /* terminal columns, rows and type from SSHOPTIONS */
#define SSH_OPTION_COMMAND 0x0200     /* run SSHOPTIONS.szCommandLine instead of a shell */
#define SSH_OPTION_PROXYSERVER 0x0400 /* connect through the proxy of SSHOPTIONS */
#define SSH_OPTION_PREFERMODERN 0x1000 /* offer the modern algorithms of each kind first (see
                                          SshAsyncConnectA) */
#define SSH_OPTION_FREETHREAD 0x8000  /* the handle may be used from any thread */
#define SSH_OPTION_IPV6 0x40000       /* fail with KX_ERROR_PROTOCOL_NOT_AVAILABLE without
                                         IPv6 TCP */

/* Proxy kinds (SSHOPTIONS.dwProxyType). */
#define SSH_PROXY_NONE 0
#define SSH_PROXY_HTTP 1   /* HTTP CONNECT, Basic authorisation when a user or password is set;
                              default port 80 */
#define SSH_PROXY_TELNET 2 /* sends "connect %host %port\n"; default port 23 */

#define SSH_MAXPROXYHOSTLEN 128
#define SSH_MAXPROXYUSERLEN 128
#define SSH_MAXPROXYPASSLEN 128
#define SSH_MAXTERMTYPELEN 32
#define SSH_MAXCOMMANDLEN 512

/* Connection options (lpOptions of the connect calls, may be NULL). dwSize must be 952. */
typedef struct _SSHOPTIONS {
    DWORD dwSize;      /* 952 */
    DWORD dwReserved;  /* not used */
    DWORD dwProxyType; /* SSH_PROXY_ */
    DWORD dwProxyPort; /* 0 = default of the proxy kind */
    CHAR szProxyHost[SSH_MAXPROXYHOSTLEN];
    CHAR szProxyUser[SSH_MAXPROXYUSERLEN];
    CHAR szProxyPassword[SSH_MAXPROXYPASSLEN];
    INT nTermCols;     /* 0 keeps 80; above 512 becomes 512 */
    INT nTermRows;     /* 0 keeps 25; above 512 becomes 512 */
    CHAR szTermType[SSH_MAXTERMTYPELEN];     /* empty keeps "unknown" */
    CHAR szCommandLine[SSH_MAXCOMMANDLEN];   /* 1 to 511 characters with SSH_OPTION_COMMAND */
} SSHOPTIONS, *LPSSHOPTIONS;

/* The W form: the same fields with UTF-16 strings of the same character counts; dwSize 1880.*/
typedef struct _SSHOPTIONSW {
    DWORD dwSize;
    DWORD dwReserved;
    DWORD dwProxyType;
    DWORD dwProxyPort;
    WCHAR szProxyHost[SSH_MAXPROXYHOSTLEN];
    WCHAR szProxyUser[SSH_MAXPROXYUSERLEN];
    WCHAR szProxyPassword[SSH_MAXPROXYPASSLEN];
    INT nTermCols;
    INT nTermRows;
    WCHAR szTermType[SSH_MAXTERMTYPELEN];
    WCHAR szCommandLine[SSH_MAXCOMMANDLEN];
} SSHOPTIONSW, *LPSSHOPTIONSW;

/* Security protocols of the credentials. 0 and 10 mean SECURITY_PROTOCOL_SSH. */
#define SECURITY_PROTOCOL_DEFAULT 0
#define SECURITY_PROTOCOL_SSH1 16    /* protocol 1 only */
#define SECURITY_PROTOCOL_SSH2 32    /* protocol 2 only */
#define SECURITY_PROTOCOL_SSH 48     /* protocol 2, falling back to protocol 1 */
#define SECURITY_PROTOCOL_UNKNOWN 4096

/* Credentials made by SshCreateSecurityCredentials; owned by the library until
 * SshDeleteSecurityCredentials. Native size (dwSize = sizeof(SECURITYCREDENTIALS)). */
typedef struct _SECURITYCREDENTIALS {
    DWORD dwSize;
    DWORD dwProtocol;
    DWORD dwOptions;
    DWORD dwReserved;
    LPSTR lpszUserName; /* copy, or NULL */
    LPSTR lpszPassword; /* copy, or NULL; wiped when the record is freed */
    /* The host key the server must present; NULL (as created) or empty accepts any host key
     * whose signature verifies. The caller may set it to a string of its own that lives for the
     * duration of the connect call; the library never frees it. A fingerprint in either form:
     * "SHA256:" and the Base64 digest as `ssh-keygen -l` prints it (padding optional; compared
     * byte for byte), or the MD5 form, colon-separated hex as SECURITYINFO.lpszFingerprint gives
     * it, optionally preceded by "MD5:" or by the key's name and size ("ssh-rsa 2048 aa:bb:...";
     * hex compared without regard to case). At most 255 characters are read. The key is checked
     * at the key exchange, before the password or anything else is sent under its keys, and at
     * every later exchange: a mismatch ends the connection with KX_ERROR_HOST_KEY_MISMATCH and
     * SshGetErrorDetailA names the key the server presented. Protocol 1 knows only the MD5 form,
     * so a SHA-256 form never matches a protocol-1 server. Read only when dwSize reaches the
     * field (records of the shorter, older size expect nothing). */
    LPCSTR lpszHostKey;
} SECURITYCREDENTIALS, *LPSECURITYCREDENTIALS;

/* Ciphers, hashes and key exchanges reported by SshGetSecurityInformation. */
#define SECURITY_CIPHER_RC4 2
#define SECURITY_CIPHER_DES 8
#define SECURITY_CIPHER_DES3 16
#define SECURITY_CIPHER_AES 64
#define SECURITY_CIPHER_BLOWFISH 256
#define SECURITY_CIPHER_CHACHA20 512 /* chacha20-poly1305@openssh.com */
#define SECURITY_CIPHER_UNKNOWN 4096
#define SECURITY_HASH_SHA 2
#define SECURITY_KEYEX_DH 4
#define SECURITY_CERTIFICATE_NONE 0

/* Security of a connection. Native size: the caller sets dwSize to sizeof(SECURITYINFO). */
typedef struct _SECURITYINFO {
    DWORD dwSize;
    DWORD dwProtocol;       /* SECURITY_PROTOCOL_SSH1 or _SSH2 */
    DWORD dwCipher;         /* SECURITY_CIPHER_ of the client-to-server cipher */
    DWORD dwCipherStrength; /* key bits */
    DWORD dwHash;           /* SECURITY_HASH_SHA */
    DWORD dwHashStrength;   /* 160 */
    DWORD dwKeyExchange;    /* SECURITY_KEYEX_DH */
    DWORD dwCertStatus;     /* SECURITY_CERTIFICATE_NONE */
    SYSTEMTIME stCertIssued;  /* zero */
    SYSTEMTIME stCertExpires; /* zero */
    LPCSTR lpszCertIssuer;    /* NULL */
    LPCSTR lpszCertSubject;   /* NULL */
    LPCSTR lpszFingerprint;   /* host key digest as colon-separated hex; valid until the next
                                 key exchange or SshDisconnect */
    /* Filled only when dwSize reaches sizeof(SECURITYINFO): a caller built with the shorter
     * record (dwSize SECURITYINFO_BASE_SIZE) gets the fields above. The texts have the lifetime
     * of lpszFingerprint. */
    LPCSTR lpszKeyExchange;       /* negotiated key exchange, e.g. "curve25519-sha256" */
    LPCSTR lpszHostKeyAlgorithm;  /* e.g. "ssh-ed25519", "rsa-sha2-512" */
    LPCSTR lpszCipherOut;         /* client to server, e.g. "aes128-gcm@openssh.com" */
    LPCSTR lpszCipherIn;          /* server to client */
    LPCSTR lpszMacOut;            /* client to server; "" under an authenticated cipher */
    LPCSTR lpszMacIn;             /* server to client; "" under an authenticated cipher */
    LPCSTR lpszFingerprintSha256; /* "SHA256:" and the unpadded Base64 SHA-256 of the host key,
                                     as ssh-keygen -l prints it */
} SECURITYINFO, *LPSECURITYINFO;

/* The W form; lpszFingerprint is a wide copy owned by the library with the same lifetime. */
typedef struct _SECURITYINFOW {
    DWORD dwSize;
    DWORD dwProtocol;
    DWORD dwCipher;
    DWORD dwCipherStrength;
    DWORD dwHash;
    DWORD dwHashStrength;
    DWORD dwKeyExchange;
    DWORD dwCertStatus;
    SYSTEMTIME stCertIssued;
    SYSTEMTIME stCertExpires;
    LPCWSTR lpszCertIssuer;
    LPCWSTR lpszCertSubject;
    LPCWSTR lpszFingerprint;
    LPCWSTR lpszKeyExchange;
    LPCWSTR lpszHostKeyAlgorithm;
    LPCWSTR lpszCipherOut;
    LPCWSTR lpszCipherIn;
    LPCWSTR lpszMacOut;
    LPCWSTR lpszMacIn;
    LPCWSTR lpszFingerprintSha256;
} SECURITYINFOW, *LPSECURITYINFOW;

/* The size of the records before the algorithm names were added (both forms). */
#define SECURITYINFO_BASE_SIZE ((DWORD)offsetof(SECURITYINFO, lpszKeyExchange))
#define SECURITYINFOW_BASE_SIZE ((DWORD)offsetof(SECURITYINFOW, lpszKeyExchange))

/* [available] Connects, logs in with the password and starts the session; returns the handle
 * once the session runs, or INVALID_CLIENT.
 * `lpszHostName`: a name or dotted address, 1..255 characters. `nRemotePort`: 0 means 22.
 * `lpszUserName`, `lpszPassword`: 1..63 characters each; the password is tried once
 * (answering a password-change request with the same password and an empty new one), after
 * the server has listed its methods in reply to "none"; a server that needs no authentication
 * gets no password at all. `nTimeout`: seconds (0 means 20, above 600 means 600) for the whole
 * connect and later for each blocking call. `dwOptions`: SSH_OPTION_ flags. `lpOptions` (may
 * be NULL): proxy, terminal and command (dwSize 952). `lpCredentials` (may be NULL): the
 * protocol choice; a user name in it fails. `hEventWnd` (may be NULL): the handle becomes
 * event-driven with all events going to this window (a window of the calling thread) as
 * `uEventMsg` (at least WM_USER); SSH_EVENT_CONNECT is delivered before the call returns.
 * The session: a pseudo-terminal (type, 80 x 25 unless SSH_OPTION_TERMINAL) and a shell, or
 * with SSH_OPTION_COMMAND the command without a terminal; SSH_OPTION_NOPTY drops the
 * terminal, SSH_OPTION_NOSHELL opens no session at all (the connection only stays up).
 * A server that speaks only protocol 1 (version below 1.99) gets the protocol-1 login and
 * session, unless the credentials ask for protocol 2 only: the session key under the server's
 * two RSA keys, Blowfish, triple DES or DES as the preferences and the server allow, and the
 * password sent among ignore messages of every nearby length that hide its length (one
 * plain message to servers known to need it; SSH_OPTION_NOPWDNUL forces that).
 * The algorithms offered, in order of preference, are the original ones (key exchange: group
 * exchange SHA-256 and SHA-1, group 14 and group 1 with SHA-1; host keys ssh-rsa, ssh-dss;
 * the AES, Blowfish, triple-DES and Arcfour ciphers; hmac-sha1, hmac-sha1-96, hmac-md5)
 * followed by the modern ones (curve25519-sha256 and its @libssh.org alias, ecdh-sha2-nistp256,
 * diffie-hellman-group16-sha512, -group18-sha512, -group14-sha256; ssh-ed25519,
 * ecdsa-sha2-nistp256, rsa-sha2-512, rsa-sha2-256; chacha20-poly1305@openssh.com,
 * aes128-gcm@openssh.com, aes256-gcm@openssh.com; hmac-sha2-256, hmac-sha2-512 and the
 * encrypt-then-MAC hmac-sha2-256-etm@openssh.com, hmac-sha2-512-etm@openssh.com,
 * hmac-sha1-etm@openssh.com), so that a server sharing an original algorithm negotiates as
 * with the original offer. SSH_OPTION_PREFERMODERN puts the modern ones of each kind first.
 * Strict key exchange ("kex-strict-c-v00@openssh.com") is always asked for; ChaCha20-Poly1305
 * and the encrypt-then-MAC MACs are offered only when the server's first key-exchange-init
 * agrees to it (the first init of ours answers the server's, or goes out without them after a
 * second of waiting for it). A negotiation that finds nothing in common fails with
 * KX_ERROR_KEY_EXCHANGE_FAILED and SshGetErrorDetailA says which kind and what the server
 * offered. The arguments are checked in this order, before any network activity:
 *   KX_ERROR_INVALID_HOSTNAME       host NULL, empty or longer than 255 characters
 *   KX_ERROR_PROTOCOL_NOT_AVAILABLE SSH_OPTION_IPV6 without IPv6 TCP
 *   KX_ERROR_INVALID_USERNAME       user NULL, empty or longer than 63 characters
 *   KX_ERROR_INVALID_PASSWORD       password NULL, empty or longer than 63 characters
 *   KX_ERROR_FEATURE_NOT_SUPPORTED  credentials with a user name (public-key login)
 *   KX_ERROR_INVALID_PARAMETER      options dwSize not 952, hEventWnd not a window, uEventMsg
 *                                   below WM_USER, port above 65535 or negative
 *   KX_ERROR_NETWORK_NOT_INITIALIZED no SshInitialize
 *   KX_ERROR_OUT_OF_MEMORY
 *   KX_ERROR_INVALID_PROTOCOL       credentials protocol other than 0, 10, 16, 32, 48
 *   KX_ERROR_INVALID_PROXY_TYPE     SSH_OPTION_PROXYSERVER with an unknown dwProxyType
 *   KX_ERROR_INVALID_COMMAND        SSH_OPTION_COMMAND with a command of 0 or 512+ characters
 * Then what the connection meets:
 *   KX_ERROR_INVALID_HOSTNAME (the name does not resolve), KX_ERROR_CONNECTION_REFUSED and
 *   other mapped socket errors, KX_ERROR_UNEXPECTED_SERVER_RESPONSE (a proxy refused, or the
 *   server broke the protocol or refused the session channel, shell or command),
 *   KX_ERROR_PROTOCOL_NOT_SUPPORTED (no common protocol version), KX_ERROR_KEY_EXCHANGE_FAILED
 *   (also protocol 1: unusable server keys, no common cipher), KX_ERROR_HOST_KEY_NOT_VERIFIED,
 *   KX_ERROR_HOST_KEY_MISMATCH (the credentials name another host key than the server presented;
 *   nothing was sent under the exchange's keys), KX_ERROR_MESSAGE_AUTHENTICATION,
 *   KX_ERROR_PACKET_CORRUPTED and KX_ERROR_ATTACK_DETECTED (protocol 1: a packet failed its
 *   CRC-32, or carried the CRC-32 compensation attack),
 *   KX_ERROR_AUTHENTICATION_FAILED (the password was refused, or the server offers no password
 *   login; at once, as soon as the server answers), KX_ERROR_CONNECTION_CLOSED (the server
 *   ended the connection), KX_ERROR_OPERATION_TIMEOUT (nTimeout passed), KX_ERROR_OPERATION_CANCELED
 *   (SshUninitialize from a window procedure while the connect waited). */
TESSAN_API HCLIENT SSHAPI SshAsyncConnectA(LPCSTR lpszHostName, INT nRemotePort,
                                           LPCSTR lpszUserName, LPCSTR lpszPassword,
                                           UINT nTimeout, DWORD dwOptions,
                                           LPSSHOPTIONS lpOptions,
                                           LPSECURITYCREDENTIALS lpCredentials, HWND hEventWnd,
                                           UINT uEventMsg);
/* [available] As SshAsyncConnectA with UTF-16 text; `lpOptions` is the wide record (dwSize
 * 1880, else KX_ERROR_INVALID_PARAMETER). */
TESSAN_API HCLIENT SSHAPI SshAsyncConnectW(LPCWSTR lpszHostName, INT nRemotePort,
                                           LPCWSTR lpszUserName, LPCWSTR lpszPassword,
                                           UINT nTimeout, DWORD dwOptions,
                                           LPSSHOPTIONSW lpOptions,
                                           LPSECURITYCREDENTIALS lpCredentials, HWND hEventWnd,
                                           UINT uEventMsg);

/* [available] SshAsyncConnectA without an event window: a blocking handle. */
TESSAN_API HCLIENT SSHAPI SshConnectA(LPCSTR lpszHostName, INT nRemotePort, LPCSTR lpszUserName,
                                      LPCSTR lpszPassword, UINT nTimeout, DWORD dwOptions,
                                      LPSSHOPTIONS lpOptions,
                                      LPSECURITYCREDENTIALS lpCredentials);
/* [available] SshAsyncConnectW without an event window. */
TESSAN_API HCLIENT SSHAPI SshConnectW(LPCWSTR lpszHostName, INT nRemotePort,
                                      LPCWSTR lpszUserName, LPCWSTR lpszPassword, UINT nTimeout,
                                      DWORD dwOptions, LPSSHOPTIONSW lpOptions,
                                      LPSECURITYCREDENTIALS lpCredentials);

/* Errors of every call taking a handle (below): KX_ERROR_INVALID_HANDLE (not a handle, or
 * one already disconnected), KX_ERROR_NOT_HANDLE_OWNER (another thread than the owner,
 * without SSH_OPTION_FREETHREAD) and, except for the calls named at the top, KX_ERROR_HANDLE_IN_USE
 * (another thread is inside a call of the handle). Calls that wait (SshRead, SshWrite,
 * SshIsReadable, SshIsWritable in blocking mode) keep the thread's messages flowing; a window
 * procedure or callback run meanwhile may even disconnect the handle: the waiting call then fails
 * with KX_ERROR_INVALID_HANDLE. */

/* [available] Closes the connection (no disconnect message: the socket's orderly end) and
 * destroys the handle; its value may be used again by a later connect. Keeps the caller's last
 * error. 0, or SSH_ERROR. */
TESSAN_API INT SSHAPI SshDisconnect(HCLIENT hClient);

/* [available] Reads up to cbBuffer bytes of session data (standard output and standard error
 * mixed in arrival order). Blocking mode waits up to the handle's timeout for data. Returns
 * the count, 0 at the end of the data (the session has ended and everything was read), or
 * SSH_ERROR: KX_ERROR_INVALID_BUFFER (NULL), KX_ERROR_BUFFER_TOO_SMALL (cbBuffer <= 0),
 * KX_ERROR_OPERATION_CANCELED (SshCancel; SSH_EVENT_CANCEL), KX_ERROR_OPERATION_WOULD_BLOCK
 * (event mode, nothing buffered), KX_ERROR_OPERATION_TIMEOUT (SSH_EVENT_TIMEOUT),
 * KX_ERROR_CONNECTION_CLOSED, mapped socket errors. In event mode, data left after the read
 * are announced by another SSH_EVENT_READ (after the current event handler returns). */
TESSAN_API INT SSHAPI SshRead(HCLIENT hClient, LPVOID lpBuffer, INT cbBuffer);

/* [available] Copies buffered data without consuming them: the count, 0 at the end of the
 * data, or SSH_ERROR (as SshRead; KX_ERROR_OPERATION_WOULD_BLOCK when nothing is buffered). */
TESSAN_API INT SSHAPI SshPeek(HCLIENT hClient, LPVOID lpBuffer, INT cbBuffer);

/* [available] Queues cbBuffer bytes for the session; they leave as the server's window allows.
 * Blocking mode first waits (up to the handle's timeout) while 1 MiB or more accepted earlier
 * has not reached the socket yet. Event mode does not wait: while 1 MiB or more waits, the call
 * takes nothing and fails with KX_ERROR_OPERATION_WOULD_BLOCK, and SSH_EVENT_WRITE is delivered
 * once the backlog has gone below 1 MiB (write again then). Returns cbBuffer; 0 with
 * KX_ERROR_NOT_CONNECTED when the session has ended or there is none (SSH_OPTION_NOSHELL);
 * SSH_ERROR with KX_ERROR_INVALID_BUFFER, KX_ERROR_BUFFER_TOO_SMALL, KX_ERROR_OPERATION_TIMEOUT,
 * KX_ERROR_OPERATION_CANCELED, KX_ERROR_OPERATION_WOULD_BLOCK or a mapped socket error. */
TESSAN_API INT SSHAPI SshWrite(HCLIENT hClient, LPCVOID lpBuffer, INT cbBuffer);

/* [available] Non-zero while a call of this handle, or any blocking wait of the calling
 * thread, is in progress. */
TESSAN_API BOOL SSHAPI SshIsBlocking(HCLIENT hClient);
/* [available] Non-zero while the session is up or unread data remain; otherwise 0 with
 * KX_ERROR_CONNECTION_CLOSED (the session has ended) or KX_ERROR_NOT_CONNECTED. */
TESSAN_API BOOL SSHAPI SshIsConnected(HCLIENT hClient);
/* [available] Non-zero when a read would not wait: data are buffered (their count goes to
 * *lpdwAvail when given) or the session has ended (the read returns 0). Blocking mode waits up
 * to nTimeout seconds (0: looks once). KX_ERROR_NOT_CONNECTED without a connection. */
TESSAN_API BOOL SSHAPI SshIsReadable(HCLIENT hClient, INT nTimeout, LPDWORD lpdwAvail);
/* [available] Non-zero when the session accepts data without the write waiting (blocking
 * mode waits up to nTimeout seconds for that). KX_ERROR_NOT_CONNECTED without a session. */
TESSAN_API BOOL SSHAPI SshIsWritable(HCLIENT hClient, INT nTimeout);
/* [available] The SSH_STATUS_ value, or SSH_ERROR. */
TESSAN_API INT SSHAPI SshGetStatus(HCLIENT hClient);
/* [available] The handle's timeout in seconds, or SSH_ERROR. */
TESSAN_API INT SSHAPI SshGetTimeout(HCLIENT hClient);
/* [available] Sets the timeout in seconds (above 600 is stored as 600): 0, or SSH_ERROR
 * (KX_ERROR_INVALID_PARAMETER for a negative value). */
TESSAN_API INT SSHAPI SshSetTimeout(HCLIENT hClient, INT nTimeout);
/* [available] Ends the handle's blocking call if one waits, on this thread or (a free-threaded
 * handle) on another (it fails with KX_ERROR_OPERATION_CANCELED); otherwise the next SshRead or
 * SshWrite fails so. 0, or SSH_ERROR. */
TESSAN_API INT SSHAPI SshCancel(HCLIENT hClient);

/* Control operations of the session (SshControl). */
#define SSH_CONTROL_BREAK 1
#define SSH_CONTROL_KEEPALIVE 2
#define SSH_CONTROL_EOF 3
#define SSH_CONTROL_NOOP 4 /* a keep-alive message as well */
#define SSH_CONTROL_REKEY 5
#define SSH_CONTROL_SIGABRT 6
#define SSH_CONTROL_SIGALRM 7
#define SSH_CONTROL_SIGFPE 8
#define SSH_CONTROL_SIGHUP 9
#define SSH_CONTROL_SIGILL 10
#define SSH_CONTROL_SIGINT 11
#define SSH_CONTROL_SIGKILL 12
#define SSH_CONTROL_SIGPIPE 13
#define SSH_CONTROL_SIGQUIT 14
#define SSH_CONTROL_SIGSEGV 15
#define SSH_CONTROL_SIGTERM 16
#define SSH_CONTROL_SIGUSR1 17
#define SSH_CONTROL_SIGUSR2 18

/* [available] Sends a control operation to the session (no reply is requested): break, a
 * keep-alive ignore message, end of input (held until the session runs), a key re-exchange,
 * or one of the thirteen signals (over protocol 1 only end of input and the keep-alives exist;
 * the others do nothing). Other codes do nothing. 0 while the session is alive
 * afterwards, else SSH_ERROR with KX_ERROR_NOT_CONNECTED. */
TESSAN_API INT SSHAPI SshControl(HCLIENT hClient, DWORD dwControlCode, LPVOID lpvReserved,
                                 DWORD dwReserved);
/* [available] The remote program's exit code once the connection has ended: its exit status,
 * or 128 plus the number of the signal that ended it ("INT" 2, "ILL" 4, "FPE" 8, "SEGV" 11,
 * "TERM" 15, "ABRT" 22, other names 0), 0 after a clean end without either, 0x7FFFFFFF when
 * the connection broke before one arrived (protocol 1: the exit status, or 0x7FFFFFFF when
 * none arrived). SSH_ERROR while the connection is still open (no
 * error set) or without a session (KX_ERROR_NOT_CONNECTED). */
TESSAN_API INT SSHAPI SshGetExitCode(HCLIENT hClient);
/* [available] Makes `dwThreadId` (0: the calling thread) the handle's owner; any thread may
 * call it. Returns the previous owner, or (DWORD)SSH_ERROR (KX_ERROR_INVALID_HANDLE). */
TESSAN_API DWORD SSHAPI SshAttachThread(HCLIENT hClient, DWORD dwThreadId);

/* [available] Creates credentials (protocol, options, copies of the strings) at
 * *lppCredentials, freeing a record already there first (as SshDeleteSecurityCredentialsA).
 * lpszHostKey starts NULL (see SECURITYCREDENTIALS). The protocol selects what the connect
 * calls accept: SECURITY_PROTOCOL_SSH, 0 or 10 (protocol 2, protocol 1 as fall-back),
 * SECURITY_PROTOCOL_SSH2, SECURITY_PROTOCOL_SSH1; the user name must be NULL or empty for a
 * connect and the password is not used. Non-zero on success; 0 with KX_ERROR_INVALID_PARAMETER
 * (NULL lppCredentials) or KX_ERROR_OUT_OF_MEMORY. */
TESSAN_API BOOL SSHAPI SshCreateSecurityCredentialsA(DWORD dwProtocol, DWORD dwOptions,
                                                     LPCSTR lpszUserName, LPCSTR lpszPassword,
                                                     LPVOID lpvReserved,
                                                     LPSECURITYCREDENTIALS* lppCredentials);
TESSAN_API BOOL SSHAPI SshCreateSecurityCredentialsW(DWORD dwProtocol, DWORD dwOptions,
                                                     LPCWSTR lpszUserName, LPCWSTR lpszPassword,
                                                     LPVOID lpvReserved,
                                                     LPSECURITYCREDENTIALS* lppCredentials);
/* [available] Frees the credentials at *lppCredentials (wiping the whole allocation, the
 * password included; its size is the library's own record, whatever the record's fields say)
 * and sets it to NULL. A record this library did not make is not freed (the pointer is still
 * set to NULL). Nothing happens for NULL. */
TESSAN_API void SSHAPI SshDeleteSecurityCredentialsA(LPSECURITYCREDENTIALS* lppCredentials);
TESSAN_API void SSHAPI SshDeleteSecurityCredentialsW(LPSECURITYCREDENTIALS* lppCredentials);

/* [available] Fills the record: the caller sets dwSize to at least SECURITYINFO_BASE_SIZE (else
 * KX_ERROR_INVALID_PARAMETER); the record is cleared for dwSize bytes and dwSize set to the
 * size filled: sizeof(SECURITYINFO) when dwSize reaches it (the algorithm names and the SHA-256
 * fingerprint included), else SECURITYINFO_BASE_SIZE. The fingerprint is the host key's MD5
 * digest as 16 colon-separated hex pairs, whatever the key's algorithm (protocol 1: of the host
 * key in its "ssh-rsa" form; the cipher strength is 168 bits for triple DES, 128 for Blowfish,
 * 56 for DES; the algorithm names and the SHA-256 fingerprint are empty). dwCipher names the
 * client-to-server cipher's family (SECURITY_CIPHER_AES also for the GCM ciphers); dwHash and
 * dwHashStrength stay SECURITY_HASH_SHA and 160, and dwKeyExchange SECURITY_KEYEX_DH, whatever
 * was negotiated: the names tell. It describes the connection, also after the server has ended
 * it. Non-zero on success; 0 with KX_ERROR_NOT_CONNECTED when the handle has no connection. */
TESSAN_API BOOL SSHAPI SshGetSecurityInformationA(HCLIENT hClient, LPSECURITYINFO lpSecurityInfo);
TESSAN_API BOOL SSHAPI SshGetSecurityInformationW(HCLIENT hClient,
                                                  LPSECURITYINFOW lpSecurityInfo);

/* ======================================================================================
 * Events
 * ====================================================================================== */

#define SSH_EVENT_CONNECT 1    /* the session is established (before SshAsyncConnect returns)*/
#define SSH_EVENT_DISCONNECT 2 /* the session has ended */
#define SSH_EVENT_READ 4       /* data can be read */
#define SSH_EVENT_WRITE 8      /* data can be written */
#define SSH_EVENT_TIMEOUT 16   /* a blocking call timed out (KX_ERROR_OPERATION_TIMEOUT) */
#define SSH_EVENT_CANCEL 32    /* a blocking call was cancelled (KX_ERROR_OPERATION_CANCELED) */

/* The message the library uses privately for socket notifications on a subclassed window. */
#define SSH_NOTIFY_MESSAGE 0x23FF

/* Event callback: handle, event identifier, error code, the registered parameter. The event
 * message sent to the event window carries wParam = handle and lParam = event | (low 16 bits
 * of the error code << 16). */
typedef void (*SSHEVENTPROC)(HCLIENT hClient, UINT nEventId, DWORD dwError, DWORD_PTR dwParam);

/* [available] As SshEnableEventsEx with all events. */
TESSAN_API INT SSHAPI SshEnableEvents(HCLIENT hClient, HWND hEventWnd, UINT uEventMsg);
/* [available] Delivers the events of `uEventMask` to hEventWnd as uEventMsg (at least
 * WM_USER); a NULL window disables events. When the mask holds any of connect, disconnect,
 * read or write, the window also becomes the handle's notification window: the library adds a
 * link to its subclass chain (shared by every handle on the window, removed with the last one
 * or when the window is destroyed, which returns its handles to blocking mode) and the handle
 * becomes event-driven. The window must belong to the handle's owner thread. 0, or SSH_ERROR
 * (KX_ERROR_INVALID_PARAMETER, KX_ERROR_NOT_HANDLE_OWNER). */
TESSAN_API INT SSHAPI SshEnableEventsEx(HCLIENT hClient, HWND hEventWnd, UINT uEventMsg,
                                        UINT uEventMask);
/* [available] Clears callbacks, window and mask; the handle returns to blocking mode. 0, or
 * SSH_ERROR. */
TESSAN_API INT SSHAPI SshDisableEvents(HCLIENT hClient);
/* [available] Holds events back (bFreeze non-zero: socket notifications are recorded) or
 * releases them (recorded notifications are posted again). Does nothing while an event is
 * being delivered (events are frozen then anyway). 0, or SSH_ERROR. */
TESSAN_API INT SSHAPI SshFreezeEvents(HCLIENT hClient, BOOL bFreeze);
/* [available] Registers a callback (called before the event window's message) with its
 * parameter for each event bit of nEventId and adds those bits to the mask. 0, or SSH_ERROR. */
TESSAN_API INT SSHAPI SshRegisterEvent(HCLIENT hClient, UINT nEventId,
                                       SSHEVENTPROC lpfnEventProc, DWORD_PTR dwParam);

/* ======================================================================================
 * Tracing
 * ====================================================================================== */

#define TRACE_DEFAULT 0x0000
#define TRACE_INFO 0x0000
#define TRACE_ERROR 0x0001
#define TRACE_WARNING 0x0002
#define TRACE_HEXDUMP 0x0004
#define TRACE_PROCESS 0x1000

/* Tracing goes through the trace library libquorn.so, which is loaded from the folder this
 * library was loaded from on the first SshEnableTrace and kept until the process ends (it is
 * used only when it reports version 7.0, build 7000 or later). While tracing is enabled it
 * receives every socket call (after the call, with its result and arguments), a line for every
 * packet (protocol, direction, message number and length, never the contents), and the session
 * data: "encrypted N bytes of data" with the bytes for every SshWrite, "decrypted N bytes of
 * data" with the bytes for every block received. The shipped trace library writes stamped lines
 * to the file; TRACE_HEXDUMP adds hex dumps of the data, TRACE_ERROR or TRACE_WARNING limit
 * socket calls to those that failed, TRACE_PROCESS adds the process id to each line. Tracing
 * never changes what a connection does. */

/* [available] Starts (one more) tracing into `lpszTraceFile` (appended to) with `dwTraceFlags`,
 * which go to the trace library unchanged. Returns the trace library's answer, non-zero when
 * tracing into the file works (each such call needs one SshDisableTrace), or 0: no
 * SshInitialize yet, the trace library missing or of another version, or the file not
 * writable. The last error is not changed. */
TESSAN_API INT SSHAPI SshEnableTraceA(LPCSTR lpszTraceFile, DWORD dwTraceFlags);
/* [available] As SshEnableTraceA with a UTF-16 file name. */
TESSAN_API INT SSHAPI SshEnableTraceW(LPCWSTR lpszTraceFile, DWORD dwTraceFlags);
/* [available] Ends one SshEnableTrace that worked; the last one closes the trace file. Returns
 * the trace library's answer, or 0 when no tracing was enabled. The last SshUninitialize ends
 * every enable still open. */
TESSAN_API INT SSHAPI SshDisableTrace(void);

/* ======================================================================================
 * Lines, searches and commands
 * ====================================================================================== */

/* [available] Reads one line. `lpnLength`: in the size of `lpszLine` in characters (at least
 * 1), out the length of the line stored. Waits (in blocking mode, also for an event-driven
 * handle, whose events are held meanwhile and come back afterwards) until a line feed has
 * arrived, the session ends, or the handle's timeout passes (0: no limit). At most size - 1
 * bytes are taken (the rest stays for the next read; the W form never cuts a character in
 * two); one trailing line feed and then one carriage return are dropped; the line is
 * zero-terminated. At the end of the session the rest of the data counts as the last line.
 * Non-zero on success; 0 with KX_ERROR_INVALID_BUFFER (NULL line), KX_ERROR_INVALID_PARAMETER
 * (NULL lpnLength), KX_ERROR_BUFFER_TOO_SMALL (size below 1), KX_ERROR_NOT_CONNECTED (no
 * session), KX_ERROR_CONNECTION_CLOSED (the session ended and everything was read),
 * KX_ERROR_OPERATION_TIMEOUT (SSH_EVENT_TIMEOUT; what arrived of the line is still stored),
 * KX_ERROR_OPERATION_CANCELED (SshCancel; SSH_EVENT_CANCEL), a mapped socket error. */
TESSAN_API BOOL SSHAPI SshReadLineA(HCLIENT hClient, LPSTR lpszLine, LPINT lpnLength);
TESSAN_API BOOL SSHAPI SshReadLineW(HCLIENT hClient, LPWSTR lpszLine, LPINT lpnLength);
/* [available] Writes the line with SshWrite in pieces of at most 8192 bytes, then a carriage
 * return and a line feed (also after an empty line; not after a piece that failed).
 * `*lpnLength` (may be NULL) receives every byte written, the terminator included. Non-zero
 * when everything was written; 0 with KX_ERROR_INVALID_BUFFER (NULL line) or SshWrite's error. */
TESSAN_API BOOL SSHAPI SshWriteLineA(HCLIENT hClient, LPCSTR lpszLine, LPINT lpnLength);
TESSAN_API BOOL SSHAPI SshWriteLineW(HCLIENT hClient, LPCWSTR lpszLine, LPINT lpnLength);
/* [available] Reads byte by byte (SshRead; events held as for SshReadLineA) until the bytes of
 * `lpszString` have arrived in a row, the data end, a read fails (a time-out just ends the
 * search) or the maximum was read. Matching: a byte equal to the next expected one advances the
 * match, any other byte starts it over (that byte is not compared with the first one again).
 * `lpdwLength` (may be NULL): in the maximum (0: none), out the bytes handed over. The bytes
 * read go, with `lpBuffer` NULL, nowhere; with `lpdwLength` NULL, to a global memory block
 * whose handle is stored at *(HGLOBAL*)lpBuffer; with a maximum, into lpBuffer itself (at most
 * that many bytes; reading stops there); otherwise to a block at *(HGLOBAL*)lpBuffer with its
 * size at *lpdwLength. The caller frees a block with PlatformGlobalFree. Non-zero when the
 * string was found; 0 otherwise, with KX_ERROR_OPERATION_IN_PROGRESS (a blocking call of the
 * handle is running), KX_ERROR_INVALID_PARAMETER (NULL or empty string), or the last read's
 * error. `dwReserved` is not used. */
TESSAN_API BOOL SSHAPI SshSearchA(HCLIENT hClient, LPCSTR lpszString, LPVOID lpBuffer,
                                  LPDWORD lpdwLength, DWORD dwReserved);
TESSAN_API BOOL SSHAPI SshSearchW(HCLIENT hClient, LPCWSTR lpszString, LPVOID lpBuffer,
                                  LPDWORD lpdwLength, DWORD dwReserved);
/* [available] Connects (SshAsyncConnectA without a window, SSH_OPTION_COMMAND with
 * `lpszCommandLine`, SSH_OPTION_TERMINAL ignored), reads the command's output to its end,
 * disconnects and returns the remote exit code (SshGetExitCode). Output that holds no 0 byte
 * and no escape, has a line feed and whose first line feed follows no carriage return gets
 * carriage return and line feed for every line feed, and a final pair when it does not end
 * with one. `*lpdwLength` non-zero: the size of the buffer lpvBuffer, which receives up to that
 * many bytes, their count going to *lpdwLength; 0: a global memory block with the output is
 * stored at *(HGLOBAL*)lpvBuffer and its size at *lpdwLength (the caller frees it). No output
 * leaves both untouched. SSH_ERROR on failure: KX_ERROR_INVALID_HOSTNAME, _USERNAME or
 * _PASSWORD (NULL or empty), KX_ERROR_INVALID_COMMAND (NULL, empty or 512 characters or
 * more), KX_ERROR_INVALID_BUFFER (NULL lpvBuffer), KX_ERROR_INVALID_PARAMETER (NULL
 * lpdwLength), then every error of SshAsyncConnectA and SshRead. */
TESSAN_API INT SSHAPI SshExecuteA(LPCSTR lpszHostName, INT nRemotePort, LPCSTR lpszUserName,
                                  LPCSTR lpszPassword, LPCSTR lpszCommandLine, UINT nTimeout,
                                  DWORD dwOptions, LPVOID lpvBuffer, LPDWORD lpdwLength,
                                  LPSECURITYCREDENTIALS lpCredentials);
/* [available] As SshExecuteA with UTF-16 strings; the output stays bytes. */
TESSAN_API INT SSHAPI SshExecuteW(LPCWSTR lpszHostName, INT nRemotePort, LPCWSTR lpszUserName,
                                  LPCWSTR lpszPassword, LPCWSTR lpszCommandLine, UINT nTimeout,
                                  DWORD dwOptions, LPVOID lpvBuffer, LPDWORD lpdwLength,
                                  LPSECURITYCREDENTIALS lpCredentials);

#ifdef __cplusplus
}
#endif

#endif /* TESSAN_TESSAN_H */
