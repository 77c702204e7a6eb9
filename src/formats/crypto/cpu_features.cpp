#include "formats/crypto/cpu_features.h"

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace zelt::crypto {

namespace {

#if defined(__x86_64__) || defined(__i386__)
// The register state the operating system saves on a task switch (XCR0).
uint64_t saved_register_state() {
    uint32_t lo = 0, hi = 0;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    return (uint64_t{hi} << 32) | lo;
}
#endif

CpuFeatures detect() {
    CpuFeatures f;
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return f;
    const bool ssse3 = (ecx & (1u << 9)) != 0;
    const bool sse41 = (ecx & (1u << 19)) != 0;
    const bool clmul = (ecx & (1u << 1)) != 0;
    f.pclmul = clmul && sse41;
    const bool osxsave = (ecx & (1u << 27)) != 0;
    if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) != 0) {
        const bool sha = (ebx & (1u << 29)) != 0;
        f.sha = sha && ssse3 && sse41;
        const bool avx512 = (ebx & (1u << 16)) != 0 && (ebx & (1u << 30)) != 0 && (ebx & (1u << 31)) != 0;
        const bool vpclmul = (ecx & (1u << 10)) != 0;
        // SSE, AVX, the mask registers and both halves of the upper ZMM state.
        constexpr uint64_t kZmmState = 0xE6;
        f.vpclmul512 = f.pclmul && avx512 && vpclmul && osxsave && (saved_register_state() & kZmmState) == kZmmState;
    }
#endif
    return f;
}

}  // namespace

const CpuFeatures& cpu_features() {
    static const CpuFeatures features = detect();
    return features;
}

}  // namespace zelt::crypto
