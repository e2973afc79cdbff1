#!/usr/bin/env bash
# Builds the release set into one folder (build/dist, or the folder given): every x86-64 level for
# Linux and Windows and the aarch64 Linux build, with a SHA256SUMS file; then checks that each
# binary that can run here (natively, under wine, under qemu-user) prints the bench signature,
# and that a bmi2 build on a CPU without AVX2 stops with its message. Exits non-zero on any fault.
# Linux x86-64 builds take the profile of their own bench run; the cross builds go without it.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/dist}")
signature=30768618
levels="x86-64 x86-64-v2 x86-64-v3 x86-64-bmi2"
mkdir -p "$out"
rm -f "$out"/kestrun-* "$out"/SHA256SUMS

for level in $levels; do
    make --no-print-directory EXE="$out/kestrun-$level-linux" ARCH=$level
    make --no-print-directory EXE="$out/kestrun-$level-windows.exe" ARCH=$level COMP=mingw
done
make --no-print-directory EXE="$out/kestrun-armv8-linux" ARCH=armv8
(cd "$out" && sha256sum kestrun-* >SHA256SUMS)

# How each binary runs here, or nothing when it cannot.
runner() {
    case $1 in
    *.exe) command -v wine >/dev/null && echo "wine" ;;
    *armv8*)
        if [ "$(uname -m)" = aarch64 ]; then
            echo "env"
        elif command -v qemu-aarch64 >/dev/null; then
            echo "qemu-aarch64 -L /usr/aarch64-linux-gnu"
        fi
        ;;
    *) echo "env" ;;
    esac
}

export WINEDEBUG=-all
faults=0
printf '%-32s %10s %10s  %s\n' binary signature nodes/s "run by"
for file in "$out"/kestrun-*; do
    name=$(basename "$file")
    run=$(runner "$name")
    if [ -z "$run" ]; then
        printf '%-32s %10s\n' "$name" "not run (no emulator here)"
        continue
    fi
    line=$($run "$file" bench </dev/null 2>&1 | tail -n 1 | tr -d '\r')
    nodes=${line%% *}
    nps=$(echo "$line" | awk '{print $3}')
    if [ "$nodes" != "$signature" ]; then
        echo "$name: no signature: $line"
        faults=$((faults + 1))
        continue
    fi
    printf '%-32s %10s %10s  %s\n' "$name" "$nodes" "$nps" "${run/env/native}"
done

# The start-up check: a bmi2 build on a CPU model without AVX2 or BMI2 stops with one line.
if [ "$(uname -m)" = x86_64 ] && command -v qemu-x86_64 >/dev/null; then
    set +e
    message=$(qemu-x86_64 -cpu Nehalem "$out/kestrun-x86-64-bmi2-linux" 2>/dev/null </dev/null)
    code=$?
    set -e
    echo "x86-64-bmi2 on Nehalem: exit $code: $message"
    case $message in
    "info string Kestrun x86-64-bmi2 build cannot run on this CPU"*"use the x86-64-v2 build") ;;
    *) faults=$((faults + 1)) ;;
    esac
    [ "$code" -ne 0 ] || faults=$((faults + 1))
fi

echo
(cd "$out" && ls -l kestrun-* SHA256SUMS | awk '{printf "%10d  %s\n", $5, $9}')
if [ "$faults" -ne 0 ]; then
    echo "$faults faults" >&2
    exit 1
fi
