// The HTTP proxy reply reader on arbitrary bytes, fed whole and in two pieces: never more than
// the reply is taken, the limits hold, and the outcome does not depend on the split.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "sshlib/transport/proxy_http.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    tessan::HttpConnectReply whole;
    size_t used = whole.Feed(bytes, size);
    if (used > size || used > tessan::HttpConnectReply::kMaxHeader + 1) abort();
    size_t split = size ? data[0] % (size + 1) : 0;
    tessan::HttpConnectReply pieces;
    size_t first = pieces.Feed(bytes, split);
    size_t second = pieces.Feed(bytes + first, size - first);
    if (first + second != used || pieces.status() != whole.status() ||
        pieces.statusCode() != whole.statusCode())
        abort();
    return 0;
}
