// Any byte string given to any host-key algorithm yields a key or no key; a key's fingerprints,
// its strength verdict, its canonical blob and a check of the rest of the input as a signature
// must not misbehave either, and a key re-read from its canonical blob has that same blob.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "crypto/host_key.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessan::crypto;
    const std::span<const uint8_t> input(data, size);
    // The first two bytes say where the blob ends; the rest is a signature over a fixed message.
    const size_t split = size >= 2 ? ((size_t{data[0]} << 8) | data[1]) % (size - 1) + 2 : size;
    const auto blob = input.subspan(size >= 2 ? 2 : 0, split - (size >= 2 ? 2 : 0));
    const auto signature = input.subspan(split);
    static const uint8_t kMessage[] = {'h', 'a', 's', 'h'};
    for (const auto list : {HostKeyAlgorithms(), ModernHostKeyAlgorithms()}) {
        for (const HostKeyAlgorithm* algorithm : list) {
            auto key = algorithm->FromBlob(blob);
            if (!key) continue;
            // Keep modular exponentiations with huge numbers out of the fuzzer's hot loop.
            if (key->Bits() > 4096) continue;
            (void)key->Fingerprint();
            (void)key->Sha256Fingerprint();
            (void)key->Weakness();
            const auto canonical = key->PublicKeyBlob();
            const auto again = algorithm->FromBlob(canonical);
            if (!again || again->PublicKeyBlob() != canonical) std::abort();
            (void)key->Verify(signature, kMessage);
        }
    }
    return 0;
}
