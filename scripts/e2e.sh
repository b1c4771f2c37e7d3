#!/usr/bin/env bash
# Runs the end-to-end driver under a private Wine and prints what it reported.
#   e2e.sh <build-dir> <folder of the exes under test> <driver.exe> [gtest arguments...]
#       in a session of its own: a fresh prefix, a display, the update servers and the pictures
#   e2e.sh --shared <build-dir> <exes folder> <driver.exe> [gtest arguments...]
#       in the build tree's shared session when one runs, else in a session of its own
#   e2e.sh --begin <build-dir> <exes folder>    begins the shared session (CTest's fixture)
#   e2e.sh --end <build-dir>                    ends it
# A shared session serves every test that CTest runs one by one: the prefix is copied, and the
# display, wineserver and servers started, once per ctest run rather than once per test.
set -euo pipefail
scripts=$(cd "$(dirname "$0")" && pwd)
source "$scripts/wine-env.sh"

mode=own
case "$1" in
--shared | --begin | --end)
    mode=${1#--}
    shift
    ;;
esac
build=$(cd "$1" && pwd)
shared_env="$build/e2e-session.env"
watcher= update_server=

# Ends the session whose variables are set: the helpers, then Wine and the display.
end_session() {
    for helper in "$watcher" "$update_server"; do
        if [[ -n "$helper" ]]; then
            kill "$helper" 2>/dev/null || true
        fi
    done
    qv_wine_end
}

# Ends a shared session, also one that a ctest run cut short left behind.
end_shared_session() {
    if [[ -f "$shared_env" ]]; then
        set -a
        source "$shared_env"
        set +a
        rm -f "$shared_env"
        end_session
    fi
}

# Begins a session for the exes in $1; with "listing", only Wine: naming the tests needs no more.
begin_session() {
    local exe_dir=$1 purpose=${2:-}
    qv_wine_begin "$build" e2e
    # Wine maps the Linux root to Z:.
    QV_EXE_DIR="Z:$(cd "$exe_dir" && pwd | tr / '\\')"
    export QV_EXE_DIR
    [[ "$purpose" == listing ]] && return 0

    # Pictures of the screen, kept among the build's artefacts: the driver asks for one by
    # creating <name>.request in this folder, which holds the geometry of the window to crop to,
    # if any; the picture is written as <name>.png before the request goes.
    local shots="$build/e2e-screenshots"
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
    # themselves; the HTTPS one's CA is trusted inside this session's prefix only, by the driver.
    local state="$QV_WINE_RUN/update-server"
    mkdir -p "$state"
    python3 "$scripts/../tests/e2e/update-server.py" "$state" \
        </dev/null >/dev/null 2>"$QV_WINE_RUN/update-server.log" &
    update_server=$!
    for ((tries = 0; tries < 100; ++tries)); do
        [[ -s "$state/server.env" ]] && break
        sleep 0.1
    done
    if [[ ! -s "$state/server.env" ]]; then
        echo "e2e: the update server did not start; see $QV_WINE_RUN/update-server.log" >&2
        return 1
    fi
    set -a
    source "$state/server.env"
    set +a
    QV_UPDATE_CA="Z:$(tr / '\\' <<<"$QV_UPDATE_CA")"
    QV_UPDATE_SERVER_LOG="Z:$(tr / '\\' <<<"$QV_WINE_RUN/update-server.log")"
    export QV_UPDATE_SERVER_LOG
}

case "$mode" in
begin)
    end_shared_session
    trap end_session EXIT
    begin_session "$2"
    # Everything a later run needs to join the session, and the end to undo it.
    for name in QV_WINE_RUN QV_WINE_LOG QV_WINE_XVFB_PID WINEPREFIX DISPLAY QV_EXE_DIR \
        QV_SCREENSHOT_DIR QV_UPDATE_SERVER_PORT QV_UPDATE_TLS_PORT QV_UPDATE_UNTRUSTED_PORT \
        QV_UPDATE_KEY QV_UPDATE_CA QV_UPDATE_SERVER_LOG watcher update_server; do
        printf '%s=%q\n' "$name" "${!name:-}"
    done >"$shared_env.new"
    mv "$shared_env.new" "$shared_env"
    trap - EXIT
    exit 0
    ;;
end)
    end_shared_session
    exit 0
    ;;
esac

exe_dir=$2 driver=$3
shift 3
# The installer's tests need the release's setups; scripts/installer-test.sh builds them and
# chooses those tests itself.
filter=('--gtest_filter=-Installer*') purpose=
for argument in "$@"; do
    case "$argument" in
    --gtest_filter=*) filter=() ;;
    --gtest_list_tests) purpose=listing ;;
    esac
done
if [[ "$mode" == shared && -f "$shared_env" ]] &&
    (set -a && source "$shared_env" && kill -0 "$update_server") 2>/dev/null; then
    set -a
    source "$shared_env"
    set +a
    qv_wine_environment
else
    trap end_session EXIT
    begin_session "$exe_dir" "$purpose"
fi

report=$(mktemp "$QV_WINE_RUN/driver.XXXXXX")
status=0
"$QV_WINE_LOADER" "$driver" --gtest_color=no "${filter[@]}" "$@" </dev/null >"$report" 2>&1 ||
    status=$?
# The driver writes its lines with CR LF.
tr -d '\r' <"$report"
if grep -q -e '^\[  SKIPPED \]' -e 'DISABLED TEST' "$report"; then
    echo "e2e: a skipped or disabled test is a failed test" >&2
    status=1
fi
exit "$status"
