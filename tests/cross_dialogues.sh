#!/usr/bin/env bash
# Runs pipe dialogues of the test suite against a cross-built engine: the Windows build under wine
# or the aarch64 build under qemu-user. Builds that engine first (make, in build/make/). Exits 77,
# which the test counts as skipped, where the cross compiler or the emulator is absent.
# Usage: tests/cross_dialogues.sh windows|armv8 <kestrun_tests binary>
set -uo pipefail
cd "$(dirname "$0")/.."
target=$1
tests=$2
skip() {
    echo "skipped: $1"
    exit 77
}

# Dialogues over every part of the platform layer: pipes, end of input during a search, a file on
# standard input, command files and their identity, stop and ponderhit, helper threads, tables of
# every size, and the signature.
common='EngineDialogue.QuitEndsAtOnceAndCarriageReturnsAreBlanks:EngineDialogue.EndOfInputEndsTheEngine'
common+=':EngineDialogue.FailedWriteEndsTheEngine:SearchDialogue.WithheldBestMoveWaitsForStopOrPonderhit'
common+=':SearchDialogue.EndOfInputAndCommandFilesOnStandardInput:DeepSearchSignature.BenchCommandTotal'
case $target in
windows)
    command -v x86_64-w64-mingw32-g++-posix >/dev/null ||
        skip "no mingw-w64 cross compiler (apt-get install g++-mingw-w64-x86-64-posix)"
    command -v wine >/dev/null || skip "no wine (apt-get install wine64)"
    engine=build/make/cross-test/kestrun-x86-64-v2.exe
    make --no-print-directory EXE=$engine ARCH=x86-64-v2 COMP=mingw >/dev/null || exit 1
    export WINEDEBUG=-all
    runner="wine $PWD/$engine"
    # A wineserver that outlives each engine: by default it exits seconds after its last client,
    # and an engine started in that moment loses its connection ("wine client error"). It must be
    # started before any other, in a folder that exists.
    mkdir -p "${WINEPREFIX:-$HOME/.wine}"
    wineserver -k 2>/dev/null
    wineserver -p 2>/dev/null
    trap 'wineserver -k 2>/dev/null' EXIT
    # Wine itself may print to standard error the first time it sets up its folder.
    wine "$PWD/$engine" bench 1 >/dev/null 2>&1 </dev/null
    filter="$common:SearchDialogue.CommandsDuringASearch:CommandFile.*:BenchArgument.*"
    filter+=":ThreadsDialogue.StopQuitAndNewSearchesWhileHelpersUnwind:HashSizes.SmallLargeAndRefusedTablesAllSearch"
    filter+=":GoNodes.StopsAtTheBudgetAndRepeatsExactly"
    ;;
armv8)
    command -v aarch64-linux-gnu-g++ >/dev/null ||
        skip "no aarch64 cross compiler (apt-get install g++-aarch64-linux-gnu)"
    command -v qemu-aarch64 >/dev/null || skip "no qemu-aarch64 (apt-get install qemu-user)"
    engine=build/make/cross-test/kestrun-armv8
    make --no-print-directory EXE=$engine ARCH=armv8 >/dev/null || exit 1
    runner="qemu-aarch64 -L /usr/aarch64-linux-gnu $PWD/$engine"
    filter="$common"
    ;;
*)
    echo "unknown target $target" >&2
    exit 2
    ;;
esac
run() { KESTRUN_ENGINE=$runner KESTRUN_ENGINE_SYZYGY=0 "$tests" --gtest_filter="$filter" 2>&1; }
log=$(mktemp)
run | tee "$log"
status=${PIPESTATUS[0]}
# The emulator, not the engine, failed when wine reports its own client error: one more run.
if [ "$status" -ne 0 ] && grep -q "wine client error" "$log"; then
    echo "wine lost a client; running the dialogues once more"
    run
    status=$?
fi
rm -f "$log"
exit "$status"
