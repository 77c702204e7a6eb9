#include "formats/crypto/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace zelt::crypto {

namespace {

CpuFeatures detect() {
    CpuFeatures f;
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return f;
    const bool ssse3 = (ecx & (1u << 9)) != 0;
    const bool sse41 = (ecx & (1u << 19)) != 0;
    const bool clmul = (ecx & (1u << 1)) != 0;
    f.pclmul = clmul && sse41;
    if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) != 0) {
        const bool sha = (ebx & (1u << 29)) != 0;
        f.sha = sha && ssse3 && sse41;
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
