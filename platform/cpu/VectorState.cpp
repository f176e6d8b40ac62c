#include "platform/cpu/VectorState.h"

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define SONDREL_X86 1
#endif

namespace sondrel {
namespace {

#ifdef SONDREL_X86
bool HasAvx() {
    static const bool avx = __builtin_cpu_supports("avx");
    return avx;
}

__attribute__((target("avx"))) void ZeroUpper() { _mm256_zeroupper(); }

std::uint64_t Xgetbv(unsigned index) {
    std::uint32_t eax = 0, edx = 0;
    __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(index));
    return (static_cast<std::uint64_t>(edx) << 32) | eax;
}
#endif

}  // namespace

void ClearUpperVectorState() {
#ifdef SONDREL_X86
    if (HasAvx()) ZeroUpper();
#endif
}

bool CanReadVectorState() {
#ifdef SONDREL_X86
    static const bool readable = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        // XGETBV itself needs the system's XSAVE support (OSXSAVE).
        if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_OSXSAVE)) return false;
        if (__get_cpuid_max(0, nullptr) < 0xD) return false;
        __cpuid_count(0xD, 1, a, b, c, d);
        return (a & (1u << 2)) != 0;
    }();
    return readable;
#else
    return false;
#endif
}

bool UpperVectorStateInUse() {
#ifdef SONDREL_X86
    return CanReadVectorState() && (Xgetbv(1) & 0x4) != 0;
#else
    return false;
#endif
}

}  // namespace sondrel
