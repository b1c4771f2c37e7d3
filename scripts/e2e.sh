#!/usr/bin/env bash
# Runs the end-to-end driver on a fresh private Wine prefix and prints what it reported.
#   e2e.sh <build-dir> <driver.exe> <folder of the exes under test> [gtest arguments...]
set -euo pipefail
build=$1 driver=$2 exe_dir=$3
shift 3
source "$(dirname "$0")/wine-env.sh"
watcher=
finish() {
    if [[ -n "$watcher" ]]; then
        kill "$watcher" 2>/dev/null || true
    fi
    qv_wine_end
}
trap finish EXIT
qv_wine_begin "$build" e2e

# Pictures of the screen, kept among the build's artefacts: the driver asks for one by creating
# <name>.request in this folder; the picture is written as <name>.png before the request goes.
shots="$(cd "$build" && pwd)/e2e-screenshots"
mkdir -p "$shots"
rm -f "$shots"/*.request
if command -v import >/dev/null; then
    QV_SCREENSHOT_DIR="Z:$(tr / '\\' <<<"$shots")"
    export QV_SCREENSHOT_DIR
    while sleep 0.1; do
        for request in "$shots"/*.request; do
            [[ -e "$request" ]] || continue
            import -window root "${request%.request}.tmp.png" >>"$QV_WINE_RUN/import.log" 2>&1 &&
                mv "${request%.request}.tmp.png" "${request%.request}.png"
            rm -f "$request"
        done
    done </dev/null >/dev/null 2>&1 &
    watcher=$!
fi
# Wine maps the Linux root to Z:.
QV_EXE_DIR="Z:$(cd "$exe_dir" && pwd | tr / '\\')"
export QV_EXE_DIR
report="$QV_WINE_RUN/driver.txt"
status=0
"$QV_WINE_LOADER" "$driver" --gtest_color=no "$@" </dev/null >"$report" 2>&1 || status=$?
cat "$report"
exit "$status"
