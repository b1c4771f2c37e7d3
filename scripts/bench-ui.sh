#!/usr/bin/env bash
# Prints the main window's benchmark figures beside their budgets: start-up against a bare dialog
# of the same template, keep-speed ticks sent to the real window, and the window at rest. These
# are figures for people, not a test: the script fails only when it cannot take them, never
# because one misses its aim, and no test suite runs it.
#   bench-ui.sh [--only start-up|save-run|ticks-idle|slow-drive|arrival] [--starts N] [--ticks N] [--idle-seconds N]
# The exes come from the win64 preset's tree, built here as needed, or from the win64 tree that
# QV_BENCH_BUILD_DIR names (configured here when it has no cache yet).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
targets=(quorvex-demo qv_bench_ui qv_bench_bare_dialog qv_bench_one_value)

if [[ -n "${QV_BENCH_BUILD_DIR:-}" ]]; then
    build=$QV_BENCH_BUILD_DIR
    configure=(cmake -S "$root" -B "$build" -G Ninja
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release)
    compile=(cmake --build "$build" --target "${targets[@]}")
else
    build=$root/build/win64
    configure=(cmake --preset win64)
    compile=(cmake --build --preset win64 --target "${targets[@]}")
fi
mkdir -p "$build"
build_log="$build/bench-build.log"
(
    cd "$root"
    if [[ ! -f "$build/CMakeCache.txt" ]]; then
        "${configure[@]}"
    fi
    "${compile[@]}"
) >"$build_log" 2>&1 || {
    tail -n 30 "$build_log" >&2
    echo "bench-ui: the build failed; see $build_log" >&2
    exit 1
}

source "$root/scripts/wine-env.sh"
trap qv_wine_end EXIT
qv_wine_begin "$build" bench

# Wine maps the Linux root to Z:.
QV_EXE_DIR="Z:$(cd "$build/bin" && pwd | tr / '\\')"
export QV_EXE_DIR
echo "machine: $(nproc) processors, load average $(cut -d' ' -f1-3 /proc/loadavg) at the start"
# The driver writes to a file, never a pipe (see wine-env.sh); the file is shown as it grows.
report="$QV_WINE_RUN/bench.txt"
: >"$report"
"$QV_WINE_LOADER" "$build/bench/qv_bench_ui.exe" "$@" </dev/null >"$report" 2>&1 &
driver=$!
tail -n +1 -f --pid="$driver" "$report"
status=0
wait "$driver" || status=$?
echo "machine: load average $(cut -d' ' -f1-3 /proc/loadavg) at the end"
exit "$status"
