#include "shell/compiler.h"

#include <cstdio>

#include "platform/cpu.h"
#include "platform/platform.h"
#include "shell/tokens.h"

void compilerCommand() {
    char names[512];
    featureNames(BUILD_INFO.features, names, sizeof names);
    const char* sliders = BUILD_INFO.pext ? "slider lookups by pext"
                          : (BUILD_INFO.features & CPU_BMI2)
                              ? "slider lookups by magic multiply (pext left out)"
                              : "slider lookups by magic multiply";
    std::printf("Compiled by %s for %s %s, level %s\n", BUILD_INFO.compiler, systemName(),
                BUILD_INFO.architecture, BUILD_INFO.level);
    std::printf("Features: %s%s%s\n", names, names[0] ? "; " : "", sliders);
    std::printf("The build for this CPU: %s\n", bestLevel());
    flushOutput();
}
