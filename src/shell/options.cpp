#include "shell/options.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "search/limits.h"
#include "search/strength.h"
#include "search/tablebase.h"
#include "search/threads.h"
#include "search/tt.h"
#include "shell/tokens.h"

Settings settings;

namespace {

enum OptionType { Spin, Check, Button, String };

// What setting an option does besides keeping its value: returns the value to keep.
using Effect = int32_t (*)(int32_t requested, int32_t current);

struct Option {
    const char* name;
    OptionType type;
    int32_t defaultValue, min, max;
    int32_t Settings::*value;  // null: nothing is kept (a button, or an option without effect)
    Effect effect;             // null: the value alone
    void (*takeText)(const char* text) = nullptr;  // what a string option does with its value
};

int32_t setHash(int32_t megabytes, int32_t current) {
    // Helpers of the last search may still be unwinding through the old table.
    waitForIdleHelpers();
    // GUIs send the size at every game: the size in use keeps its mapping and is emptied as for a
    // new game, not mapped and touched again.
    if (ttHasSize(megabytes)) {
        clearHash();
        return megabytes;
    }
    // Without memory for the new one the old stays.
    // The new table's pages are all touched here, shared among the threads, so that no search
    // pays for the system's first mapping of them on the clock.
    if (ttResize(megabytes)) {
        runInParallel(ttTouchSlice);
        return megabytes;
    }
    std::printf("info string Hash %d MB could not be allocated; the table stays at %llu MB\n",
                megabytes, static_cast<unsigned long long>(ttMegabytes()));
    flushOutput();
    return current;
}

int32_t setThreads(int32_t count, int32_t) {
    const int running = resizeThreads(count);
    if (running < count) {
        std::printf("info string Threads %d could not all be started; %d run\n", count, running);
        flushOutput();
    }
    return running;
}

int32_t pressClearHash(int32_t, int32_t) {
    clearHash();
    return 0;
}

#if KESTRUN_SYZYGY
// Loading the tables replaces what every thread probes: only while none searches.
void setSyzygyPath(const char* path) {
    waitForIdleHelpers();
    const int found = loadTablebases(path);
    if (*tablebaseNotice()) std::printf("info string %s\n", tablebaseNotice());
    if (found >= 0 && *path && std::strcmp(path, "<empty>") != 0)
        std::printf("info string Syzygy tables found: %d\n", found);
    flushOutput();
}

template <int32_t Settings::*Rule>
int32_t setTablebaseRule(int32_t v, int32_t) {
    waitForIdleHelpers();
    settings.*Rule = v;
    setTablebaseOptions(settings.syzygyProbeDepth, settings.syzygy50MoveRule,
                        settings.syzygyProbeLimit);
    return v;
}
#endif

constexpr Option OPTIONS[] = {
    {"Hash", Spin, 16, int32_t(TT_MIN_MB), int32_t(TT_MAX_MB), &Settings::hashMb, setHash},
    {"Threads", Spin, 1, 1, MAX_THREADS, &Settings::threads, setThreads},
    {"Ponder", Check, 1, 0, 1, nullptr, nullptr},
    {"MultiPV", Spin, 1, 1, MAX_MULTI_PV, &Settings::multiPv, nullptr},
    {"Move Overhead", Spin, DEFAULT_MOVE_OVERHEAD, 0, 5000, &Settings::moveOverhead, nullptr},
    {"Clear Hash", Button, 0, 0, 0, nullptr, pressClearHash},
    // Read by the next position command: the position set up keeps the variant it was read in.
    {"nodestime", Spin, 0, 0, 10000, &Settings::nodesTime, nullptr},
    {"UCI_Chess960", Check, 0, 0, 1, &Settings::chess960, nullptr},
    {"UCI_LimitStrength", Check, 0, 0, 1, &Settings::limitStrength, nullptr},
    {"UCI_Elo", Spin, (MIN_ELO + MAX_ELO) / 2, MIN_ELO, MAX_ELO, &Settings::elo, nullptr},
    // Off by default: GUIs have crashed on a wdl token they did not expect.
    {"UCI_ShowWDL", Check, 0, 0, 1, &Settings::showWdl, nullptr},
#if KESTRUN_SYZYGY
    {"SyzygyPath", String, 0, 0, 0, nullptr, nullptr, setSyzygyPath},
    {"SyzygyProbeDepth", Spin, 1, 1, 100, &Settings::syzygyProbeDepth,
     setTablebaseRule<&Settings::syzygyProbeDepth>},
    {"Syzygy50MoveRule", Check, 1, 0, 1, &Settings::syzygy50MoveRule,
     setTablebaseRule<&Settings::syzygy50MoveRule>},
    {"SyzygyProbeLimit", Spin, 7, 0, 7, &Settings::syzygyProbeLimit,
     setTablebaseRule<&Settings::syzygyProbeLimit>},
#endif
};

}  // namespace

void applyDefaultOptions() {
    for (const Option& o : OPTIONS)
        if (o.value)
            settings.*o.value =
                o.effect ? o.effect(o.defaultValue, o.defaultValue) : o.defaultValue;
}

void printOptions() {
    for (const Option& o : OPTIONS) {
        std::printf("option name %s type ", o.name);
        if (o.type == Spin)
            std::printf("spin default %d min %d max %d\n", settings.*o.value, o.min, o.max);
        else if (o.type == Check)
            std::printf("check default %s\n",
                        (o.value ? settings.*o.value : o.defaultValue) ? "true" : "false");
        else if (o.type == String)
            std::printf("string default <empty>\n");
        else
            std::printf("button\n");
    }
    flushOutput();
}

void setOption(const char* name, const char* value) {
    for (const Option& o : OPTIONS) {
        // Option names are not case-sensitive: GUIs send "MultiPv", "hash", "clear hash".
        if (strcasecmp(name, o.name) != 0) continue;
        // A button takes no value, a spin or check exactly one word, a string any text.
        if ((o.type == Button) != (value == nullptr)) return;
        if (o.type == String) return o.takeText(value);
        if (o.type != Button && (!*value || std::strpbrk(value, " \t"))) return;
        if (o.type == Button) {
            o.effect(0, 0);
        } else if (o.type == Check && o.value) {
            const int32_t v = strcasecmp(value, "true") == 0    ? 1
                              : strcasecmp(value, "false") == 0 ? 0
                                                                : -1;
            if (v >= 0) settings.*o.value = o.effect ? o.effect(v, settings.*o.value) : v;
        } else if (o.type == Spin && o.value) {
            const int32_t v = std::clamp(parseInteger(value), o.min, o.max);
            settings.*o.value = o.effect ? o.effect(v, settings.*o.value) : v;
        }
        return;
    }
}

void clearHash() {
    // Helpers of the last search may still be unwinding through the table.
    waitForIdleHelpers();
    if (ttNeedsClear()) runInParallel(ttClearSlice);
    ttClearDone();
}
