// The library's message table and the error-text calls.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "sshlib/api/error_text.h"
#include "sshlib/api/tessan.h"
#include "sshlib/api/text_convert.h"

namespace tessan {
namespace {

struct Message {
    DWORD code;
    const char* text;
};

// Sorted by number.
constexpr Message kMessages[] = {
    {KX_ERROR_NONE, "No error"},
    {KX_ERROR_NOT_HANDLE_OWNER, "Handle not owned by the current thread"},
    {KX_ERROR_INVALID_THREAD, "Invalid thread identifier specified"},
    {KX_ERROR_THREAD_NOT_ATTACHED, "The thread is not attached to the handle"},
    {KX_ERROR_OPERATION_CANCELED, "The blocking operation has been canceled"},
    {KX_ERROR_FILE_NOT_FOUND, "The specified file could not be found"},
    {KX_ERROR_PATH_NOT_FOUND, "The specified path could not be found"},
    {KX_ERROR_FILE_NOT_OPENED, "Unable to open the specified file"},
    {KX_ERROR_FILE_READ_FAILED, "Unable to read data from the specified file"},
    {KX_ERROR_FILE_WRITE_FAILED, "Unable to write data to the specified file"},
    {KX_ERROR_FILE_EXISTS, "The specified file already exists"},
    {KX_ERROR_FILE_NOT_CREATED, "Unable to create the specified file"},
    {KX_ERROR_OUT_OF_MEMORY, "Out of memory"},
    {KX_ERROR_ACCESS_DENIED, "Access to the specified resource has been denied"},
    {KX_ERROR_INVALID_PARAMETER, "Invalid argument passed to function"},
    {KX_ERROR_INVALID_WINDOW, "Invalid window handle passed to function"},
    {KX_ERROR_INVALID_MESSAGE, "Invalid window message specified"},
    {KX_ERROR_INVALID_STATE, "The function cannot be called in the current state"},
    {KX_ERROR_HANDLE_IN_USE, "The specified handle is currently in use"},
    {KX_ERROR_LIBRARY_NOT_LOADED, "Unable to load a required library"},
    {KX_ERROR_FUNCTION_NOT_FOUND, "A required function could not be found in a library"},
    {KX_ERROR_RESOURCE_BUSY, "The requested resource is currently busy"},
    {KX_ERROR_INVALID_BUFFER, "Invalid memory address passed to function"},
    {KX_ERROR_BUFFER_TOO_SMALL, "The specified buffer is too small"},
    {KX_ERROR_TOO_MANY_SOCKETS, "Too many sockets have been opened"},
    {KX_ERROR_OPERATION_WOULD_BLOCK, "The specified operation would block the current thread"},
    {KX_ERROR_OPERATION_IN_PROGRESS, "A network operation is currently in progress"},
    {KX_ERROR_ALREADY_IN_PROGRESS, "A network operation is already in progress on this socket"},
    {KX_ERROR_INVALID_HANDLE, "Invalid handle passed to function"},
    {KX_ERROR_ADDRESS_REQUIRED, "A destination address is required"},
    {KX_ERROR_MESSAGE_TOO_LONG, "The message is too large to be sent"},
    {KX_ERROR_INVALID_PROTOCOL, "Invalid network protocol specified"},
    {KX_ERROR_PROTOCOL_NOT_AVAILABLE, "The specified network protocol is not available"},
    {KX_ERROR_PROTOCOL_NOT_SUPPORTED, "The specified network protocol is not supported"},
    {KX_ERROR_SOCKET_NOT_SUPPORTED, "The specified socket type is not supported"},
    {KX_ERROR_OPERATION_NOT_SUPPORTED, "The specified operation is not supported"},
    {KX_ERROR_PROTOCOL_FAMILY_NOT_SUPPORTED, "The specified protocol family is not supported"},
    {KX_ERROR_ADDRESS_FAMILY_NOT_SUPPORTED, "The specified address family is not supported"},
    {KX_ERROR_ADDRESS_IN_USE, "The specified address is already in use"},
    {KX_ERROR_ADDRESS_NOT_AVAILABLE, "The specified address is not available"},
    {KX_ERROR_NETWORK_DOWN, "The network is down"},
    {KX_ERROR_NETWORK_UNREACHABLE, "The network is unreachable"},
    {KX_ERROR_NETWORK_RESET, "The network connection was reset"},
    {KX_ERROR_CONNECTION_ABORTED, "The connection was aborted"},
    {KX_ERROR_CONNECTION_RESET, "The connection was reset by the remote host"},
    {KX_ERROR_NO_BUFFER_SPACE, "No buffer space is available"},
    {KX_ERROR_ALREADY_CONNECTED, "The socket is already connected"},
    {KX_ERROR_NOT_CONNECTED, "No connection established with remote host"},
    {KX_ERROR_CONNECTION_SHUTDOWN, "The connection has been shut down"},
    {KX_ERROR_OPERATION_TIMEOUT, "The specified operation has timed out"},
    {KX_ERROR_CONNECTION_REFUSED, "The connection was refused by the remote host"},
    {KX_ERROR_HOST_DOWN, "The remote host is down"},
    {KX_ERROR_HOST_UNREACHABLE, "The remote host is unreachable"},
    {KX_ERROR_TOO_MANY_PROCESSES, "Too many processes are using the networking subsystem"},
    {KX_ERROR_NETWORK_NOT_AVAILABLE, "The networking subsystem is not available on this system"},
    {KX_ERROR_INVALID_VERSION, "This version of the operating system is not supported"},
    {KX_ERROR_NETWORK_NOT_INITIALIZED, "The networking subsystem has not been initialized"},
    {KX_ERROR_GRACEFUL_DISCONNECT, "The remote host is closing the connection"},
    {KX_ERROR_INVALID_HOSTNAME, "The specified hostname is invalid or could not be resolved"},
    {KX_ERROR_HOSTNAME_TRY_AGAIN,
     "The hostname could not be resolved at this time, try again later"},
    {KX_ERROR_HOSTNAME_NO_RECOVERY,
     "A non-recoverable error occurred while resolving the hostname"},
    {KX_ERROR_HOSTNAME_NO_ADDRESS, "The hostname has no network address"},
    {KX_ERROR_LIBRARY_NOT_INITIALIZED, "The library has not been initialized"},
    {KX_ERROR_LIBRARY_VERSION, "The library version does not match the version requested"},
    {KX_ERROR_INVALID_LIBRARY_OPTION, "Invalid library option specified"},
    {KX_ERROR_TRACE_NOT_AVAILABLE, "The trace library could not be loaded"},
    {KX_ERROR_TRACE_VERSION, "The trace library version is not supported"},
    {KX_ERROR_TRACE_FILE, "Unable to create the trace file"},
    {KX_ERROR_TOO_MANY_HANDLES, "Too many client handles are in use"},
    {KX_ERROR_EVENT_WINDOW, "Unable to attach the library to the event window"},
    {KX_ERROR_INTERNAL_ERROR, "An internal error occurred in the library"},
    {KX_ERROR_KEY_EXCHANGE_FAILED, "The key exchange with the server failed"},
    {KX_ERROR_HOST_KEY_NOT_VERIFIED, "The server host key could not be verified"},
    {KX_ERROR_MESSAGE_AUTHENTICATION, "Message authentication failed for data from the server"},
    {KX_ERROR_HOST_KEY_MISMATCH, "The server host key does not match the expected key"},
    {KX_ERROR_PACKET_CORRUPTED, "A packet from the server failed its integrity check"},
    {KX_ERROR_ATTACK_DETECTED, "An attack on the encrypted connection was detected"},
    {KX_ERROR_INVALID_SERVER_VERSION, "The server did not send a valid identification line"},
    {KX_ERROR_SERVER_VERSION_NOT_SUPPORTED, "The server protocol version is not supported"},
    {KX_ERROR_INVALID_PACKET, "The server sent a malformed packet"},
    {KX_ERROR_NO_SERVER_RESPONSE, "No response was received from the server"},
    {KX_ERROR_UNEXPECTED_SERVER_RESPONSE, "Unexpected response code returned from server"},
    {KX_ERROR_SERVER_DISCONNECTED, "The server has ended the connection"},
    {KX_ERROR_INVALID_PROXY_HOST, "Invalid proxy server name specified"},
    {KX_ERROR_INVALID_PROXY_PORT, "Invalid proxy server port specified"},
    {KX_ERROR_PROXY_NOT_CONNECTED, "Unable to connect to the proxy server"},
    {KX_ERROR_INVALID_PROXY_TYPE, "Invalid proxy server type specified"},
    {KX_ERROR_PROXY_REFUSED, "The proxy server refused the connection"},
    {KX_ERROR_PROXY_AUTHENTICATION_REQUIRED, "The proxy server requires authentication"},
    {KX_ERROR_PROXY_AUTHENTICATION_FAILED, "The proxy server rejected the username or password"},
    {KX_ERROR_INVALID_COMMAND, "Invalid command specified"},
    {KX_ERROR_COMMAND_FAILED, "The command could not be started on the server"},
    {KX_ERROR_CHANNEL_NOT_OPENED, "The server refused to open the session channel"},
    {KX_ERROR_TERMINAL_REFUSED, "The server refused the pseudo-terminal request"},
    {KX_ERROR_SHELL_REFUSED, "The server refused to start a shell"},
    {KX_ERROR_INVALID_TERMINAL_TYPE, "Invalid terminal type specified"},
    {KX_ERROR_INVALID_TERMINAL_SIZE, "Invalid terminal size specified"},
    {KX_ERROR_SERVICE_REFUSED, "The server refused the authentication service"},
    {KX_ERROR_INVALID_USERNAME, "The specified username is invalid"},
    {KX_ERROR_INVALID_PASSWORD, "The specified password is invalid"},
    {KX_ERROR_PASSWORD_EXPIRED, "The password has expired and must be changed"},
    {KX_ERROR_AUTHENTICATION_METHOD, "The server does not support password authentication"},
    {KX_ERROR_PUBLICKEY_NOT_SUPPORTED, "Public key authentication is not supported"},
    {KX_ERROR_KEYBOARD_NOT_SUPPORTED, "Keyboard-interactive authentication is not supported"},
    {KX_ERROR_INVALID_PRIVATE_KEY, "Invalid private key specified"},
    {KX_ERROR_TOO_MANY_AUTHENTICATIONS, "Too many authentication attempts"},
    {KX_ERROR_AUTHENTICATION_FAILED, "Unable to authenticate the specified user"},
    {KX_ERROR_INVALID_RESPONSE, "Invalid response returned from server"},
    {KX_ERROR_SERVER_NOT_READY, "The server is not ready to accept commands"},
    {KX_ERROR_COMMAND_NOT_ALLOWED, "The command is not allowed in the current state"},
    {KX_ERROR_COMMAND_NOT_IMPLEMENTED, "The command is not implemented by the server"},
    {KX_ERROR_DATA_CONNECTION_FAILED, "Unable to open the data connection"},
    {KX_ERROR_CONNECTION_CLOSED, "Server closed data connection"},
    {KX_ERROR_TRANSFER_ABORTED, "The file transfer was aborted"},
    {KX_ERROR_TRANSFER_FAILED, "The file transfer could not be completed"},
    {KX_ERROR_INVALID_TRANSFER_MODE, "Invalid file transfer mode specified"},
    {KX_ERROR_INVALID_FILE_TYPE, "Invalid file type specified"},
    {KX_ERROR_INVALID_FILENAME, "The specified file name is invalid"},
    {KX_ERROR_REMOTE_FILE_NOT_FOUND, "The file was not found on the server"},
    {KX_ERROR_REMOTE_FILE_EXISTS, "The file already exists on the server"},
    {KX_ERROR_REMOTE_FILE_ACCESS, "Access to the file on the server was denied"},
    {KX_ERROR_REMOTE_FILE_BUSY, "The file on the server is currently in use"},
    {KX_ERROR_INVALID_DIRECTORY, "The specified directory is invalid"},
    {KX_ERROR_DIRECTORY_NOT_FOUND, "The directory was not found on the server"},
    {KX_ERROR_DIRECTORY_NOT_EMPTY, "The directory on the server is not empty"},
    {KX_ERROR_DIRECTORY_NOT_CREATED, "Unable to create the directory on the server"},
    {KX_ERROR_DIRECTORY_NOT_REMOVED, "Unable to remove the directory on the server"},
    {KX_ERROR_DIRECTORY_LIST_FAILED, "Unable to list the directory on the server"},
    {KX_ERROR_INVALID_LIST_FORMAT, "The directory listing format is not recognized"},
    {KX_ERROR_FILE_NOT_RENAMED, "Unable to rename the file on the server"},
    {KX_ERROR_FILE_NOT_DELETED, "Unable to delete the file on the server"},
    {KX_ERROR_DISK_FULL, "Insufficient storage space on the server"},
    {KX_ERROR_QUOTA_EXCEEDED, "The storage quota on the server has been exceeded"},
    {KX_ERROR_RESTART_NOT_SUPPORTED, "The server does not support restarting transfers"},
    {KX_ERROR_INVALID_RESTART_OFFSET, "Invalid restart offset specified"},
    {KX_ERROR_PASSIVE_MODE_FAILED, "The server refused passive mode"},
    {KX_ERROR_ACTIVE_MODE_FAILED, "The server could not connect back for the data transfer"},
    {KX_ERROR_ACCOUNT_REQUIRED, "An account is required to log in to the server"},
    {KX_ERROR_INVALID_ACCOUNT, "The specified account is invalid"},
    {KX_ERROR_LOGIN_REFUSED, "The server refused the login"},
    {KX_ERROR_TOO_MANY_USERS, "Too many users are logged in to the server"},
    {KX_ERROR_SERVER_SHUTTING_DOWN, "The server is shutting down"},
    {KX_ERROR_INVALID_URL, "The specified URL is invalid"},
    {KX_ERROR_INVALID_URL_SCHEME, "The URL scheme is not supported"},
    {KX_ERROR_INVALID_RESOURCE, "The specified resource is invalid"},
    {KX_ERROR_RESOURCE_NOT_FOUND, "The requested resource was not found on the server"},
    {KX_ERROR_RESOURCE_MOVED, "The requested resource has moved"},
    {KX_ERROR_TOO_MANY_REDIRECTS, "Too many redirections were returned by the server"},
    {KX_ERROR_REQUEST_FAILED, "The request could not be completed by the server"},
    {KX_ERROR_BAD_REQUEST, "The server did not understand the request"},
    {KX_ERROR_UNAUTHORIZED, "The server requires authorization for the resource"},
    {KX_ERROR_FORBIDDEN, "The server refused access to the resource"},
    {KX_ERROR_METHOD_NOT_ALLOWED, "The request method is not allowed for the resource"},
    {KX_ERROR_REQUEST_TIMEOUT, "The server timed out waiting for the request"},
    {KX_ERROR_CONTENT_TOO_LARGE, "The request content is too large for the server"},
    {KX_ERROR_UNSUPPORTED_MEDIA, "The content type is not supported by the server"},
    {KX_ERROR_SERVER_ERROR, "The server encountered an internal error"},
    {KX_ERROR_SERVICE_UNAVAILABLE, "The service is currently unavailable"},
    {KX_ERROR_GATEWAY_ERROR, "The gateway received an invalid response"},
    {KX_ERROR_INVALID_HEADER, "Invalid header field returned from server"},
    {KX_ERROR_HEADER_NOT_FOUND, "The requested header field was not found"},
    {KX_ERROR_INVALID_CONTENT_LENGTH, "Invalid content length returned from server"},
    {KX_ERROR_INVALID_CHUNK, "Invalid chunked data returned from server"},
    {KX_ERROR_INVALID_COOKIE, "Invalid cookie returned from server"},
    {KX_ERROR_INVALID_ENCODING, "The content encoding is not supported"},
    {KX_ERROR_INVALID_CHARACTER_SET, "The character set is not supported"},
    {KX_ERROR_INVALID_FORM_DATA, "Invalid form data specified"},
    {KX_ERROR_INVALID_MAILBOX, "The specified mailbox is invalid"},
    {KX_ERROR_MAILBOX_NOT_FOUND, "The mailbox was not found on the server"},
    {KX_ERROR_MAILBOX_LOCKED, "The mailbox is locked by another session"},
    {KX_ERROR_MAILBOX_FULL, "The mailbox is full"},
    {KX_ERROR_INVALID_MESSAGE_NUMBER, "Invalid message number specified"},
    {KX_ERROR_MESSAGE_NOT_FOUND, "The message was not found on the server"},
    {KX_ERROR_MESSAGE_DELETED, "The message has been marked for deletion"},
    {KX_ERROR_INVALID_MESSAGE_FORMAT, "The message format is invalid"},
    {KX_ERROR_INVALID_SENDER, "The sender address is invalid"},
    {KX_ERROR_INVALID_RECIPIENT, "The recipient address is invalid"},
    {KX_ERROR_RECIPIENT_REFUSED, "The server refused the recipient address"},
    {KX_ERROR_TOO_MANY_RECIPIENTS, "Too many recipients specified"},
    {KX_ERROR_RELAY_DENIED, "The server refused to relay the message"},
    {KX_ERROR_MESSAGE_TOO_LARGE, "The message is too large for the server"},
    {KX_ERROR_MESSAGE_REJECTED, "The server rejected the message"},
    {KX_ERROR_INVALID_ATTACHMENT, "The specified attachment is invalid"},
    {KX_ERROR_ATTACHMENT_NOT_FOUND, "The attachment was not found in the message"},
    {KX_ERROR_INVALID_BOUNDARY, "Invalid multipart boundary in the message"},
    {KX_ERROR_INVALID_AUTH_METHOD, "The authentication method is not supported by the server"},
    {KX_ERROR_FEATURE_NOT_SUPPORTED, "The specified feature is not supported"},
    {KX_ERROR_INVALID_NEWSGROUP, "The specified newsgroup is invalid"},
    {KX_ERROR_NEWSGROUP_NOT_FOUND, "The newsgroup was not found on the server"},
    {KX_ERROR_NO_NEWSGROUP_SELECTED, "No newsgroup has been selected"},
    {KX_ERROR_ARTICLE_NOT_FOUND, "The article was not found on the server"},
    {KX_ERROR_NO_ARTICLE_SELECTED, "No article has been selected"},
    {KX_ERROR_POSTING_NOT_ALLOWED, "Posting is not allowed on the server"},
    {KX_ERROR_POSTING_FAILED, "The article could not be posted"},
    {KX_ERROR_INVALID_ARTICLE, "The article format is invalid"},
    {KX_ERROR_TRANSFER_NOT_WANTED, "The server does not want the article"},
    {KX_ERROR_INVALID_DATE, "The specified date is invalid"},
    {KX_ERROR_INVALID_TIME, "The specified time is invalid"},
    {KX_ERROR_TIME_SERVER_FAILED, "Unable to get the time from the server"},
    {KX_ERROR_INVALID_TIME_ZONE, "The specified time zone is invalid"},
    {KX_ERROR_CLOCK_NOT_SET, "Unable to set the system clock"},
    {KX_ERROR_INVALID_DOMAIN, "The specified domain name is invalid"},
    {KX_ERROR_DOMAIN_NOT_FOUND, "The domain was not found"},
    {KX_ERROR_NAME_SERVER_FAILED, "The name server could not answer the query"},
    {KX_ERROR_INVALID_RECORD_TYPE, "Invalid record type specified"},
    {KX_ERROR_RECORD_NOT_FOUND, "No record of the requested type was found"},
    {KX_ERROR_QUERY_REFUSED, "The server refused the query"},
    {KX_ERROR_QUERY_TRUNCATED, "The answer to the query was truncated"},
    {KX_ERROR_ECHO_TIMEOUT, "No echo reply was received from the remote host"},
    {KX_ERROR_INVALID_ECHO_REPLY, "Invalid echo reply received from the remote host"},
    {KX_ERROR_TTL_EXPIRED, "The time to live expired in transit"},
    {KX_ERROR_INVALID_TTL, "Invalid time to live specified"},
    {KX_ERROR_INVALID_PACKET_SIZE, "Invalid packet size specified"},
    {KX_ERROR_RAW_SOCKET_DENIED, "Permission to use raw sockets was denied"},
    {KX_ERROR_INVALID_CERTIFICATE, "The certificate is invalid"},
    {KX_ERROR_CERTIFICATE_EXPIRED, "The certificate has expired"},
    {KX_ERROR_CERTIFICATE_NOT_TRUSTED, "The certificate is not trusted"},
    {KX_ERROR_CERTIFICATE_NAME_MISMATCH, "The certificate name does not match the host name"},
    {KX_ERROR_CERTIFICATE_NOT_FOUND, "The certificate could not be found"},
    {KX_ERROR_CERTIFICATE_STORE, "Unable to open the certificate store"},
    {KX_ERROR_SECURE_CHANNEL_FAILED, "Unable to establish a secure channel with the server"},
    {KX_ERROR_SECURE_CHANNEL_CLOSED, "The secure channel has been closed by the server"},
};

constexpr bool SortedByCode() {
    for (size_t i = 1; i < std::size(kMessages); ++i)
        if (kMessages[i - 1].code >= kMessages[i].code) return false;
    return true;
}
static_assert(SortedByCode(), "the lookup below needs the table sorted by code");

}  // namespace

const char* ErrorText(DWORD code) {
    auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), code,
                               [](const Message& m, DWORD c) { return m.code < c; });
    return it != std::end(kMessages) && it->code == code ? it->text : nullptr;
}

}  // namespace tessan

extern "C" {

TESSAN_API INT SSHAPI SshGetErrorStringA(DWORD dwError, LPSTR lpszError, INT nMaxLength) {
    if (!lpszError) {
        nMaxLength = 512;  // measuring: as if a buffer of the largest text size were given
    } else if (nMaxLength > 0) {
        lpszError[0] = 0;
    }
    if (dwError == 0) dwError = SshGetLastError();
    if (dwError == 0) return 0;
    const char* text = tessan::ErrorText(dwError);
    if (!text) return 0;
    size_t length = std::strlen(text);
    if (nMaxLength <= 0 || length + 1 > static_cast<size_t>(nMaxLength)) return 0;
    if (lpszError) std::memcpy(lpszError, text, length + 1);
    return static_cast<INT>(length);
}

TESSAN_API INT SSHAPI SshGetErrorStringW(DWORD dwError, LPWSTR lpszError, INT nMaxLength) {
    if (!lpszError) return SshGetErrorStringA(dwError, nullptr, nMaxLength);
    if (nMaxLength <= 0) return 0;
    std::vector<char> narrow(static_cast<size_t>(nMaxLength));
    INT result = SshGetErrorStringA(dwError, narrow.data(), nMaxLength);
    tessan::CopyUtf8ToWide(std::string_view(narrow.data(), std::strlen(narrow.data())), lpszError,
                           static_cast<size_t>(nMaxLength));
    return result;
}

}  // extern "C"

extern "C" {

TESSAN_API INT SSHAPI SshGetErrorDetailA(LPSTR lpszDetail, INT nMaxLength) {
    if (lpszDetail && nMaxLength > 0) lpszDetail[0] = 0;
    const std::string& detail = tessan::LastErrorDetail();
    if (detail.empty()) return 0;
    if (!lpszDetail) return static_cast<INT>(detail.size());
    if (nMaxLength <= 0 || detail.size() + 1 > static_cast<size_t>(nMaxLength)) return 0;
    std::memcpy(lpszDetail, detail.c_str(), detail.size() + 1);
    return static_cast<INT>(detail.size());
}

TESSAN_API INT SSHAPI SshGetErrorDetailW(LPWSTR lpszDetail, INT nMaxLength) {
    if (lpszDetail && nMaxLength > 0) lpszDetail[0] = 0;
    const std::u16string wide = tessan::Utf8ToWide(tessan::LastErrorDetail());
    if (wide.empty()) return 0;
    if (!lpszDetail) return static_cast<INT>(wide.size());
    if (nMaxLength <= 0 || wide.size() + 1 > static_cast<size_t>(nMaxLength)) return 0;
    std::memcpy(lpszDetail, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
    return static_cast<INT>(wide.size());
}

}  // extern "C"
