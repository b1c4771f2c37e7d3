#!/usr/bin/env bash
# Runs the end-to-end driver on a fresh private Wine prefix and prints what it reported.
#   e2e.sh <build-dir> <driver.exe> <folder of the exes under test> [gtest arguments...]
set -euo pipefail
build=$1 driver=$2 exe_dir=$3
shift 3
source "$(dirname "$0")/wine-env.sh"
watcher= update_server=
finish() {
    for helper in "$watcher" "$update_server"; do
        if [[ -n "$helper" ]]; then
            kill "$helper" 2>/dev/null || true
        fi
    done
    qv_wine_end
}
trap finish EXIT
qv_wine_begin "$build" e2e

# Pictures of the screen, kept among the build's artefacts: the driver asks for one by creating
# <name>.request in this folder, which holds the geometry of the window to crop to, if any; the
# picture is written as <name>.png before the request goes.
shots="$(cd "$build" && pwd)/e2e-screenshots"
mkdir -p "$shots"
rm -f "$shots"/*.request "$shots"/*.request.new
if command -v import >/dev/null; then
    QV_SCREENSHOT_DIR="Z:$(tr / '\\' <<<"$shots")"
    export QV_SCREENSHOT_DIR
    while sleep 0.1; do
        for request in "$shots"/*.request; do
            [[ -e "$request" ]] || continue
            geometry=$(tr -d '\r\n' <"$request")
            import -window root ${geometry:+-crop "$geometry" +repage} \
                "${request%.request}.tmp.png" >>"$QV_WINE_RUN/import.log" 2>&1 &&
                mv "${request%.request}.tmp.png" "${request%.request}.png"
            rm -f "$request"
        done
    done </dev/null >/dev/null 2>&1 &
    watcher=$!
fi
# The update check's tests talk to loopback servers, plain and HTTPS, on ports they pick
# themselves; the HTTPS one's CA is trusted inside this run's prefix only, by the driver.
mkdir -p "$QV_WINE_RUN/update-server"
python3 "$(dirname "$0")/../tests/e2e/update-server.py" "$QV_WINE_RUN/update-server" \
    </dev/null 2>"$QV_WINE_RUN/update-server.log" &
update_server=$!
for ((tries = 0; tries < 100; ++tries)); do
    [[ -s "$QV_WINE_RUN/update-server/server.env" ]] && break
    sleep 0.1
done
if [[ ! -s "$QV_WINE_RUN/update-server/server.env" ]]; then
    echo "e2e: the update server did not start; see $QV_WINE_RUN/update-server.log" >&2
    exit 1
fi
set -a
source "$QV_WINE_RUN/update-server/server.env"
set +a
QV_UPDATE_CA="Z:$(tr / '\\' <<<"$QV_UPDATE_CA")"
QV_UPDATE_SERVER_LOG="Z:$(tr / '\\' <<<"$QV_WINE_RUN/update-server.log")"
export QV_UPDATE_SERVER_LOG
# Wine maps the Linux root to Z:.
QV_EXE_DIR="Z:$(cd "$exe_dir" && pwd | tr / '\\')"
export QV_EXE_DIR
# The installer's tests need the release's setups; scripts/installer-test.sh builds them and
# chooses those tests itself.
filter=('--gtest_filter=-Installer*')
for argument in "$@"; do
    if [[ "$argument" == --gtest_filter=* ]]; then
        filter=()
    fi
done
report="$QV_WINE_RUN/driver.txt"
status=0
"$QV_WINE_LOADER" "$driver" --gtest_color=no "${filter[@]}" "$@" </dev/null >"$report" 2>&1 ||
    status=$?
cat "$report"
exit "$status"
