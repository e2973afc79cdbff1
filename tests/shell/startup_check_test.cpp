// The start-up check, on older CPU models that qemu-user emulates: a build that needs more than
// the model has stops with one line naming its level, what the CPU lacks and the build to use,
// before any instruction of its level runs; one that needs no more runs as usual.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/cpu.h"

#ifndef KESTRUN_BINARY
#error "KESTRUN_BINARY must name the engine executable"
#endif

namespace {

struct Outcome {
    int exitCode = -1;
    std::string out, err;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

Outcome underQemu(const char* model) {
    const std::string base = "/tmp/kestrun-startup-" + std::to_string(getpid());
    const std::string command = std::string("qemu-x86_64 -cpu ") + model + " " KESTRUN_BINARY +
                                " bench 1 </dev/null >" + base + ".out 2>" + base + ".err";
    Outcome r;
    const int status = std::system(command.c_str());
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(base + ".out");
    r.err = slurp(base + ".err");
    std::remove((base + ".out").c_str());
    std::remove((base + ".err").c_str());
    return r;
}

bool qemuPresent() { return std::system("command -v qemu-x86_64 >/dev/null 2>&1") == 0; }

}  // namespace

TEST(StartupCheck, ABuildOnACpuWithoutItsFeaturesStopsWithOneLineNamingTheBuildToUse) {
#if !defined(__x86_64__)
    GTEST_SKIP() << "the check of x86-64 levels";
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's runtime starts before the check and needs the real machine";
#endif
    if (!qemuPresent()) GTEST_SKIP() << "qemu-x86_64 is absent (apt-get install qemu-user)";
    constexpr uint64_t V2 = CPU_SSE3 | CPU_SSSE3 | CPU_SSE41 | CPU_SSE42 | CPU_POPCNT | CPU_CX16;
    constexpr uint64_t HASWELL = V2 | CPU_AVX | CPU_AVX2 | CPU_BMI1 | CPU_BMI2 | CPU_FMA |
                                 CPU_F16C | CPU_LZCNT | CPU_MOVBE | CPU_AES | CPU_PCLMUL |
                                 CPU_RDRND;
    struct Model {
        const char* name;
        uint64_t features;  // at most these: the emulator may leave some out
        const char* build;  // the build to use there
    };
    for (const Model& m :
         {Model{"Nehalem", V2, "x86-64-v2"}, Model{"Haswell", HASWELL, "x86-64-bmi2"}}) {
        SCOPED_TRACE(m.name);
        const Outcome r = underQemu(m.name);
        const uint64_t missing = BUILD_INFO.features & ~m.features;
        if (!missing) {
            // Everything the build needs is there (an emulator missing some of it would say so).
            if (r.exitCode == 0) {
                EXPECT_NE(r.out.find(" nodes "), std::string::npos) << r.out;
            }
            continue;
        }
        const std::string head = std::string("Kestrun ") + BUILD_INFO.level +
                                 " build cannot run on this CPU, which lacks ";
        const std::string tail = std::string(": use the ") + m.build + " build\n";
        EXPECT_EQ(r.exitCode, 1);
        // One line on standard output, for the GUI's log.
        ASSERT_EQ(r.out.rfind("info string " + head, 0), 0u) << r.out;
        ASSERT_GE(r.out.size(), tail.size());
        EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail) << r.out;
        EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
        // Every feature the model surely lacks is named.
        char names[512];
        featureNames(missing, names, sizeof names);
        std::istringstream words(names);
        for (std::string w; words >> w;)
            EXPECT_NE(r.out.find(" " + w), std::string::npos) << w << " not named: " << r.out;
        // The same line on standard error (the emulator may have written its own lines before).
        EXPECT_NE(r.err.find(r.out.substr(12)), std::string::npos) << r.err;
    }
}
