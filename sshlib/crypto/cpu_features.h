// Run-time detection of the x86 instructions that the fast paths use (AES-NI, SHA-NI, PCLMULQDQ,
// AVX2, AVX-512).
// Every primitive has a portable implementation with identical results; the fast path is chosen
// when a key is set or a hash is created, so a switch made later affects only new objects.
#pragma once

namespace tessan::crypto {

struct CpuFeatures {
    bool aesNi = false;   // AESENC & co. together with SSE4.1 and SSSE3
    bool shaNi = false;   // SHA1RNDS4, SHA256RNDS2 & co. together with SSE4.1 and SSSE3
    bool clmul = false;   // PCLMULQDQ together with SSE4.1 and SSSE3
    bool avx2 = false;    // AVX2, with the operating system saving the 256-bit registers
    bool avx512 = false;  // AVX-512 F, with the operating system saving the 512-bit registers
};

// What the processor offers, detected once.
const CpuFeatures& DetectedCpuFeatures();

// What primitives created from now on use: the detected features unless portable code is forced.
bool UseAesNi();
bool UseShaNi();
bool UseClmul();
bool UseAvx2();
bool UseAvx512();

// Forces (true) or releases (false) the portable implementations for objects created afterwards.
// Tests use it to run every vector through both paths; benchmarks to compare them.
void ForcePortableCrypto(bool portableOnly);

}  // namespace tessan::crypto
