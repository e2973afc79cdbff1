// The instruction-set level a build assumes, and the CPU it runs on. A build for a level checks
// at start-up, before any code of that level runs, that the CPU has every feature the compiler
// was allowed to use, and otherwise names the build to use instead.
#pragma once

#include <cstdint>

// Slider lookups by pext: a bmi2 build has them, a v3 build not; a native build where the
// compiler may use BMI2, except on the CPUs whose pext is microcoded and slower than the magic
// multiply (AMD before Zen 3).
#if !defined(KESTRUN_PEXT)
#if defined(__BMI2__) && !defined(__znver1__) && !defined(__znver2__) && !defined(__bdver4__)
#define KESTRUN_PEXT 1
#else
#define KESTRUN_PEXT 0
#endif
#endif

enum CpuFeature : uint64_t {
    CPU_SSE3 = 1ull << 0,
    CPU_SSSE3 = 1ull << 1,
    CPU_SSE41 = 1ull << 2,
    CPU_SSE42 = 1ull << 3,
    CPU_POPCNT = 1ull << 4,
    CPU_CX16 = 1ull << 5,
    CPU_AVX = 1ull << 6,
    CPU_AVX2 = 1ull << 7,
    CPU_BMI1 = 1ull << 8,
    CPU_BMI2 = 1ull << 9,
    CPU_FMA = 1ull << 10,
    CPU_F16C = 1ull << 11,
    CPU_LZCNT = 1ull << 12,
    CPU_MOVBE = 1ull << 13,
    CPU_ADX = 1ull << 14,
    CPU_AES = 1ull << 15,
    CPU_PCLMUL = 1ull << 16,
    CPU_RDRND = 1ull << 17,
    CPU_SHA = 1ull << 18,
    CPU_GFNI = 1ull << 19,
    CPU_VAES = 1ull << 20,
    CPU_VPCLMULQDQ = 1ull << 21,
    CPU_AVXVNNI = 1ull << 22,
    CPU_AVX512F = 1ull << 23,
    CPU_AVX512BW = 1ull << 24,
    CPU_AVX512CD = 1ull << 25,
    CPU_AVX512DQ = 1ull << 26,
    CPU_AVX512VL = 1ull << 27,
    CPU_AVX512IFMA = 1ull << 28,
    CPU_AVX512VBMI = 1ull << 29,
    CPU_AVX512VBMI2 = 1ull << 30,
    CPU_AVX512VNNI = 1ull << 31,
    CPU_AVX512BITALG = 1ull << 32,
    CPU_AVX512VPOPCNTDQ = 1ull << 33,
    CPU_AVX512BF16 = 1ull << 34,
    CPU_AVX512VP2INTERSECT = 1ull << 35,
};

// What the build was compiled for, fixed at compile time (data only: reading it runs no code of
// the build's level).
struct BuildInfo {
    const char* level;  // the make word: "x86-64-bmi2", "native", "armv8" ...
    uint64_t features;  // the features the compiler was allowed to use
    bool pext;          // slider lookups by pext
    const char* compiler;
    const char* architecture;  // "x86-64", "aarch64"
};
extern const BuildInfo BUILD_INFO;

// The features of the CPU running the engine, as the system enables them (AVX needs the
// system to save its registers).
uint64_t cpuFeatures();
// The highest release level this CPU runs at full speed ("x86-64-bmi2", "x86-64-v3" ...).
const char* bestLevel();
// Space-separated lower-case names of the features in a mask.
void featureNames(uint64_t mask, char* out, int size);
