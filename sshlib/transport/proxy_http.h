// The HTTP CONNECT proxy dialogue: the request, and a reader for the proxy's reply that never
// takes more than the reply itself and stays bounded against hostile proxies.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessan {

// "CONNECT host:port HTTP/1.1\r\nHost: host:port\r\n", then either the empty line or, when a
// user name or password is given, "Proxy-Authorization: Basic base64(user:password)" and the
// empty line. The result holds the password in encoded form: wipe it after sending.
std::string BuildHttpConnectRequest(std::string_view host, int port, std::string_view user,
                                    std::string_view password);

class HttpConnectReply {
public:
    enum class Status {
        kNeedMore,   // the reply is not complete yet
        kAccepted,   // status 2xx and the header up to the empty line were read
        kRejected,   // an HTTP status line with another status (statusCode())
        kMalformed,  // the first line is not an HTTP status line
        kTooLong,    // a line or the whole header exceeded its limit
    };

    static constexpr size_t kMaxLine = 8192;
    static constexpr size_t kMaxHeader = 65536;

    // Consumes bytes up to and including the line end that decides the reply, never beyond it,
    // so the bytes after an accepted reply (the tunnelled stream) stay with the caller.
    // Returns the count consumed; consumes nothing once the status is final.
    size_t Feed(const char* data, size_t size);

    Status status() const { return status_; }
    int statusCode() const { return statusCode_; }

private:
    void EndLine();

    Status status_ = Status::kNeedMore;
    std::string line_;
    size_t total_ = 0;
    bool haveStatusLine_ = false;
    int statusCode_ = 0;
};

}  // namespace tessan
