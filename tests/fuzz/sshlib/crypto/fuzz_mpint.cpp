// The wire reader over arbitrary bytes: every read stays inside the buffer, and every number read
// re-encodes to an mpint that reads back to the same number.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "crypto/wire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessan::crypto;
    WireReader reader({data, size});
    for (size_t step = 0; step < 64 && reader.Remaining() != 0; ++step) {
        const size_t before = reader.Remaining();
        BigNum number;
        bool read = false;
        switch (step % 3) {
            case 0:
                read = reader.ReadNonNegativeMpint(number);
                break;
            case 1:
                read = reader.ReadUnsignedMpint(number);
                break;
            default: {
                std::span<const uint8_t> bytes;
                if (!reader.ReadString(bytes)) return 0;
                if (bytes.data() < data || bytes.data() + bytes.size() > data + size) std::abort();
                continue;
            }
        }
        if (!read) {
            if (reader.Remaining() != before) std::abort();
            return 0;
        }
        if (number.BitCount() > kMaxWireNumberBits) std::abort();
        std::vector<uint8_t> encoded;
        AppendMpint(encoded, number);
        WireReader again(encoded);
        BigNum back;
        if (!again.ReadNonNegativeMpint(back) || !(back == number) || again.Remaining() != 0)
            std::abort();
    }
    return 0;
}
