// Compiled with the build's own flags: the compiler's predefined macros record what it was
// allowed to use. Only constant data lives here, so reading it before the start-up check is safe.
#include "platform/cpu.h"

#ifndef KESTRUN_LEVEL
#define KESTRUN_LEVEL "native"
#endif

namespace {

constexpr uint64_t compiledFeatures() {
    uint64_t f = 0;
    // The names are x86's; other architectures' builds assume their baseline.
#if defined(__x86_64__) || defined(__i386__)
#ifdef __SSE3__
    f |= CPU_SSE3;
#endif
#ifdef __SSSE3__
    f |= CPU_SSSE3;
#endif
#ifdef __SSE4_1__
    f |= CPU_SSE41;
#endif
#ifdef __SSE4_2__
    f |= CPU_SSE42;
#endif
#ifdef __POPCNT__
    f |= CPU_POPCNT;
#endif
#ifdef __GCC_HAVE_SYNC_COMPARE_AND_SWAP_16
    f |= CPU_CX16;
#endif
#ifdef __AVX__
    f |= CPU_AVX;
#endif
#ifdef __AVX2__
    f |= CPU_AVX2;
#endif
#ifdef __BMI__
    f |= CPU_BMI1;
#endif
#ifdef __BMI2__
    f |= CPU_BMI2;
#endif
#ifdef __FMA__
    f |= CPU_FMA;
#endif
#ifdef __F16C__
    f |= CPU_F16C;
#endif
#ifdef __LZCNT__
    f |= CPU_LZCNT;
#endif
#ifdef __MOVBE__
    f |= CPU_MOVBE;
#endif
#ifdef __ADX__
    f |= CPU_ADX;
#endif
#ifdef __AES__
    f |= CPU_AES;
#endif
#ifdef __PCLMUL__
    f |= CPU_PCLMUL;
#endif
#ifdef __RDRND__
    f |= CPU_RDRND;
#endif
#ifdef __SHA__
    f |= CPU_SHA;
#endif
#ifdef __GFNI__
    f |= CPU_GFNI;
#endif
#ifdef __VAES__
    f |= CPU_VAES;
#endif
#ifdef __VPCLMULQDQ__
    f |= CPU_VPCLMULQDQ;
#endif
#ifdef __AVXVNNI__
    f |= CPU_AVXVNNI;
#endif
#ifdef __AVX512F__
    f |= CPU_AVX512F;
#endif
#ifdef __AVX512BW__
    f |= CPU_AVX512BW;
#endif
#ifdef __AVX512CD__
    f |= CPU_AVX512CD;
#endif
#ifdef __AVX512DQ__
    f |= CPU_AVX512DQ;
#endif
#ifdef __AVX512VL__
    f |= CPU_AVX512VL;
#endif
#ifdef __AVX512IFMA__
    f |= CPU_AVX512IFMA;
#endif
#ifdef __AVX512VBMI__
    f |= CPU_AVX512VBMI;
#endif
#ifdef __AVX512VBMI2__
    f |= CPU_AVX512VBMI2;
#endif
#ifdef __AVX512VNNI__
    f |= CPU_AVX512VNNI;
#endif
#ifdef __AVX512BITALG__
    f |= CPU_AVX512BITALG;
#endif
#ifdef __AVX512VPOPCNTDQ__
    f |= CPU_AVX512VPOPCNTDQ;
#endif
#ifdef __AVX512BF16__
    f |= CPU_AVX512BF16;
#endif
#ifdef __AVX512VP2INTERSECT__
    f |= CPU_AVX512VP2INTERSECT;
#endif
#endif
    return f;
}

}  // namespace

constinit const BuildInfo BUILD_INFO = {
    KESTRUN_LEVEL,
    compiledFeatures(),
    KESTRUN_PEXT != 0,
#if defined(__clang__)
    "clang++ " __clang_version__,
#elif defined(__GNUC__)
    "g++ " __VERSION__,
#else
    "an unknown compiler",
#endif
#if defined(__x86_64__)
    "x86-64",
#elif defined(__aarch64__)
    "aarch64",
#else
    "an unknown architecture",
#endif
};
