// Compiled for the baseline of the architecture, whatever the build's level, and without link-time
// optimisation, so that none of its code can take instructions of the level: it runs before
// anything else of the engine, checks the CPU and stops the engine with a message where the
// build cannot run.
#include "platform/cpu.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

struct FeatureName {
    uint64_t feature;
    const char* name;
};

constexpr FeatureName FEATURE_NAMES[] = {
    {CPU_SSE3, "sse3"},
    {CPU_SSSE3, "ssse3"},
    {CPU_SSE41, "sse4.1"},
    {CPU_SSE42, "sse4.2"},
    {CPU_POPCNT, "popcnt"},
    {CPU_CX16, "cx16"},
    {CPU_AVX, "avx"},
    {CPU_AVX2, "avx2"},
    {CPU_BMI1, "bmi1"},
    {CPU_BMI2, "bmi2"},
    {CPU_FMA, "fma"},
    {CPU_F16C, "f16c"},
    {CPU_LZCNT, "lzcnt"},
    {CPU_MOVBE, "movbe"},
    {CPU_ADX, "adx"},
    {CPU_AES, "aes"},
    {CPU_PCLMUL, "pclmul"},
    {CPU_RDRND, "rdrnd"},
    {CPU_SHA, "sha"},
    {CPU_GFNI, "gfni"},
    {CPU_VAES, "vaes"},
    {CPU_VPCLMULQDQ, "vpclmulqdq"},
    {CPU_AVXVNNI, "avxvnni"},
    {CPU_AVX512F, "avx512f"},
    {CPU_AVX512BW, "avx512bw"},
    {CPU_AVX512CD, "avx512cd"},
    {CPU_AVX512DQ, "avx512dq"},
    {CPU_AVX512VL, "avx512vl"},
    {CPU_AVX512IFMA, "avx512ifma"},
    {CPU_AVX512VBMI, "avx512vbmi"},
    {CPU_AVX512VBMI2, "avx512vbmi2"},
    {CPU_AVX512VNNI, "avx512vnni"},
    {CPU_AVX512BITALG, "avx512bitalg"},
    {CPU_AVX512VPOPCNTDQ, "avx512vpopcntdq"},
    {CPU_AVX512BF16, "avx512bf16"},
    {CPU_AVX512VP2INTERSECT, "avx512vp2intersect"},
};

constexpr uint64_t LEVEL_V2 = CPU_SSE3 | CPU_SSSE3 | CPU_SSE41 | CPU_SSE42 | CPU_POPCNT | CPU_CX16;
constexpr uint64_t LEVEL_V3 = LEVEL_V2 | CPU_AVX | CPU_AVX2 | CPU_BMI1 | CPU_BMI2 | CPU_FMA |
                              CPU_F16C | CPU_LZCNT | CPU_MOVBE;
constexpr uint64_t AVX_FAMILY =
    CPU_AVX | CPU_AVX2 | CPU_FMA | CPU_F16C | CPU_VAES | CPU_VPCLMULQDQ | CPU_AVXVNNI;
constexpr uint64_t AVX512_FAMILY = CPU_AVX512F | CPU_AVX512BW | CPU_AVX512CD | CPU_AVX512DQ |
                                   CPU_AVX512VL | CPU_AVX512IFMA | CPU_AVX512VBMI |
                                   CPU_AVX512VBMI2 | CPU_AVX512VNNI | CPU_AVX512BITALG |
                                   CPU_AVX512VPOPCNTDQ | CPU_AVX512BF16 | CPU_AVX512VP2INTERSECT;

#if defined(__x86_64__) || defined(__i386__)

inline uint64_t bitIf(unsigned word, int bit, uint64_t feature) {
    return (word >> bit) & 1 ? feature : 0;
}

// AMD before Zen 3 (and Hygon's Zen 1) runs pext in microcode, slower than the magic multiply.
bool slowPext() {
    unsigned a, b, c, d;
    if (!__get_cpuid(0, &a, &b, &c, &d)) return false;
    char vendor[13];
    std::memcpy(vendor, &b, 4);
    std::memcpy(vendor + 4, &d, 4);
    std::memcpy(vendor + 8, &c, 4);
    vendor[12] = '\0';
    if (std::strcmp(vendor, "AuthenticAMD") != 0 && std::strcmp(vendor, "HygonGenuine") != 0)
        return false;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const unsigned family = ((a >> 8) & 0xf) + ((a >> 8 & 0xf) == 0xf ? (a >> 20) & 0xff : 0);
    return family < 0x19;
}

#endif

}  // namespace

uint64_t cpuFeatures() {
    uint64_t f = 0;
#if defined(__x86_64__) || defined(__i386__)
    unsigned a, b, c, d;
    if (__get_cpuid(1, &a, &b, &c, &d)) {
        f |= bitIf(c, 0, CPU_SSE3) | bitIf(c, 1, CPU_PCLMUL) | bitIf(c, 9, CPU_SSSE3) |
             bitIf(c, 12, CPU_FMA) | bitIf(c, 13, CPU_CX16) | bitIf(c, 19, CPU_SSE41) |
             bitIf(c, 20, CPU_SSE42) | bitIf(c, 22, CPU_MOVBE) | bitIf(c, 23, CPU_POPCNT) |
             bitIf(c, 25, CPU_AES) | bitIf(c, 28, CPU_AVX) | bitIf(c, 29, CPU_F16C) |
             bitIf(c, 30, CPU_RDRND);
        // The wide registers count only when the system saves them on a task switch.
        unsigned xcr0 = 0;
        if ((c >> 27) & 1) {
            unsigned high;
            __asm__ volatile("xgetbv" : "=a"(xcr0), "=d"(high) : "c"(0));
        }
        const bool ymm = (xcr0 & 0x6) == 0x6, zmm = (xcr0 & 0xe6) == 0xe6;
        if (__get_cpuid_count(7, 0, &a, &b, &c, &d)) {
            f |= bitIf(b, 3, CPU_BMI1) | bitIf(b, 5, CPU_AVX2) | bitIf(b, 8, CPU_BMI2) |
                 bitIf(b, 16, CPU_AVX512F) | bitIf(b, 17, CPU_AVX512DQ) | bitIf(b, 19, CPU_ADX) |
                 bitIf(b, 21, CPU_AVX512IFMA) | bitIf(b, 28, CPU_AVX512CD) | bitIf(b, 29, CPU_SHA) |
                 bitIf(b, 30, CPU_AVX512BW) | bitIf(b, 31, CPU_AVX512VL);
            f |= bitIf(c, 1, CPU_AVX512VBMI) | bitIf(c, 6, CPU_AVX512VBMI2) |
                 bitIf(c, 8, CPU_GFNI) | bitIf(c, 9, CPU_VAES) | bitIf(c, 10, CPU_VPCLMULQDQ) |
                 bitIf(c, 11, CPU_AVX512VNNI) | bitIf(c, 12, CPU_AVX512BITALG) |
                 bitIf(c, 14, CPU_AVX512VPOPCNTDQ);
            f |= bitIf(d, 8, CPU_AVX512VP2INTERSECT);
            if (a >= 1 && __get_cpuid_count(7, 1, &a, &b, &c, &d))
                f |= bitIf(a, 4, CPU_AVXVNNI) | bitIf(a, 5, CPU_AVX512BF16);
        }
        if (__get_cpuid(0x80000001, &a, &b, &c, &d)) f |= bitIf(c, 5, CPU_LZCNT);
        if (!ymm) f &= ~(AVX_FAMILY | AVX512_FAMILY);
        if (!zmm) f &= ~AVX512_FAMILY;
    }
#endif
    return f;
}

const char* bestLevel() {
#if defined(__x86_64__)
    const uint64_t f = cpuFeatures();
    if ((f & LEVEL_V3) == LEVEL_V3) return slowPext() ? "x86-64-v3" : "x86-64-bmi2";
    if ((f & LEVEL_V2) == LEVEL_V2) return "x86-64-v2";
    return "x86-64";
#elif defined(__aarch64__)
    return "armv8";
#else
    return BUILD_INFO.level;
#endif
}

void featureNames(uint64_t mask, char* out, int size) {
    int length = 0;
    out[0] = '\0';
    for (const FeatureName& f : FEATURE_NAMES) {
        if (!(mask & f.feature)) continue;
        const int n =
            std::snprintf(out + length, size_t(size - length), "%s%s", length ? " " : "", f.name);
        if (n < 0 || n >= size - length) break;
        length += n;
    }
}

namespace {

// Runs before the constructors of everything else in the program (the lowest priority number
// the compiler leaves to programs), so before any code built for the level.
__attribute__((constructor(101))) void checkCpu() {
    const uint64_t missing = BUILD_INFO.features & ~cpuFeatures();
    if (!missing) return;
    char names[512], text[768];
    featureNames(missing, names, sizeof names);
    std::snprintf(text, sizeof text,
                  "Kestrun %s build cannot run on this CPU, which lacks %s: use the %s build",
                  BUILD_INFO.level, names, bestLevel());
    // The GUI's log shows standard output; a terminal or a script shows standard error.
    std::printf("info string %s\n", text);
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace
