// The zlib stream decompressor on arbitrary bytes, whole and split at a point taken from the
// input: same verdict, same output, never more output than allowed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sshlib/transport/zlib_decompressor.h"

using tessan::transport::ZlibDecompressor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    constexpr size_t kLimit = 64 * 1024;
    size_t split = (size_t{data[0]} << 8 | data[1]) % (size - 1);
    data += 2;
    size -= 2;
    ZlibDecompressor whole;
    std::vector<uint8_t> wholeOut;
    bool wholeOk = whole.Decompress(data, size, wholeOut, kLimit);
    if (wholeOut.size() > kLimit) abort();

    ZlibDecompressor pieces;
    std::vector<uint8_t> piecesOut;
    bool ok = pieces.Decompress(data, split, piecesOut, kLimit);
    size_t first = piecesOut.size();
    if (ok) ok = pieces.Decompress(data + split, size - split, piecesOut, kLimit - first);
    if (piecesOut.size() > kLimit) abort();
    if (ok != wholeOk) abort();
    if (ok && piecesOut != wholeOut) abort();
    return 0;
}
