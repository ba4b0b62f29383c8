#include "crypto/cpu_features.h"

#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace tessan::crypto {
namespace {

CpuFeatures Detect() {
    CpuFeatures features;
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0, &eax, &ebx, &ecx, &edx) == 0) return features;
    const unsigned maxLeaf = eax;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return features;
    const bool ssse3 = (ecx & (1u << 9)) != 0;
    const bool sse41 = (ecx & (1u << 19)) != 0;
    const bool aes = (ecx & (1u << 25)) != 0;
    const bool pclmul = (ecx & (1u << 1)) != 0;
    const bool osxsave = (ecx & (1u << 27)) != 0;
    const bool avx = (ecx & (1u << 28)) != 0;
    features.aesNi = aes && ssse3 && sse41;
    features.clmul = pclmul && ssse3 && sse41;
    // The 256-bit registers are usable only when the system saves them on a context switch
    // (XCR0 bits 1 and 2: SSE and AVX state).
    // Likewise the 512-bit ones need bits 5-7 (mask registers and both halves of the ZMM state).
    bool ymmSaved = false, zmmSaved = false;
    if (osxsave && avx) {
        unsigned xcr0Low = 0, xcr0High = 0;
        __asm__("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
        ymmSaved = (xcr0Low & 6u) == 6u;
        zmmSaved = (xcr0Low & 0xe6u) == 0xe6u;
    }
    if (maxLeaf >= 7) {
        __cpuid_count(7, 0, eax, ebx, ecx, edx);
        const bool sha = (ebx & (1u << 29)) != 0;
        features.shaNi = sha && ssse3 && sse41;
        features.avx2 = ymmSaved && (ebx & (1u << 5)) != 0;
        features.avx512 = zmmSaved && (ebx & (1u << 16)) != 0;
    }
#endif
    return features;
}

std::atomic<bool> portableOnly{false};

}  // namespace

const CpuFeatures& DetectedCpuFeatures() {
    static const CpuFeatures features = Detect();
    return features;
}

bool UseAesNi() {
    return !portableOnly.load(std::memory_order_relaxed) && DetectedCpuFeatures().aesNi;
}
bool UseShaNi() {
    return !portableOnly.load(std::memory_order_relaxed) && DetectedCpuFeatures().shaNi;
}

bool UseClmul() {
    return !portableOnly.load(std::memory_order_relaxed) && DetectedCpuFeatures().clmul;
}
bool UseAvx2() {
    return !portableOnly.load(std::memory_order_relaxed) && DetectedCpuFeatures().avx2;
}

bool UseAvx512() {
    return !portableOnly.load(std::memory_order_relaxed) && DetectedCpuFeatures().avx512;
}

void ForcePortableCrypto(bool value) {
    portableOnly.store(value, std::memory_order_relaxed);
}

}  // namespace tessan::crypto
