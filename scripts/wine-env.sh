# A private Wine for running the x86_64 exes of a build tree. Source this file, then:
#
#   qv_wine_begin <build-dir> <run-name>   fresh prefix, a display, a persistent wineserver
#   qv_wine <program> [args...]            runs it, waits, returns its exit code
#   qv_wine_end                            ends every process of the prefix, the display we
#                                          started, and deletes the prefix
#
# Callers set `trap qv_wine_end EXIT` before qv_wine_begin: a run cut short would otherwise leave
# its Xvfb and wineserver behind. qv_wine_end undoes only what was done.
#
# The prefix is copied from a template that is prepared once per build tree, because wineboot
# takes ten seconds and a copy one or two. Wine's output goes to files under the run folder,
# never into a pipe: helper processes inherit it and would hold a pipe open for minutes.
# Only the 64-bit loader is used; the kernels of the test machines run no 32-bit code.

QV_WINE_LOADER=/usr/lib/wine/wine64
QV_WINE_SERVER=/usr/lib/wine/wineserver64

# Quiet, 64-bit, and no prompts to install Mono or Gecko.
qv_wine_environment() {
    export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
}

# Prints the template prefix of a build tree, preparing it first when it is missing. Parallel
# runs wait for one another here, so the template is prepared only once.
qv_wine_template() {
    local build=$1
    local template="$build/wine-template"
    (
        flock 9
        qv_wine_environment
        if [[ -f "$template/.ready" ]]; then
            exit 0
        fi
        rm -rf "$template" "$template.new"
        mkdir -p "$template.new"
        local prefix
        prefix=$(cd "$template.new" && pwd)
        local log="$build/wine-template.log"
        {
            WINEPREFIX="$prefix" "$QV_WINE_LOADER" wineboot -i &&
                # Without fonts every caption reads as a few stray glyphs.
                cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/" &&
                # A virtual desktop gives the notification area a taskbar to live on.
                WINEPREFIX="$prefix" "$QV_WINE_LOADER" reg add 'HKCU\Software\Wine\Explorer' \
                    /v Desktop /d Default /f &&
                WINEPREFIX="$prefix" "$QV_WINE_LOADER" reg add \
                    'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f &&
                # The registry reaches its files only when the server ends.
                WINEPREFIX="$prefix" "$QV_WINE_SERVER" -k &&
                WINEPREFIX="$prefix" "$QV_WINE_SERVER" -w
        } </dev/null >"$log" 2>&1 || {
            echo "wine-env: preparing the template failed; see $log" >&2
            exit 1
        }
        touch "$template.new/.ready"
        mv "$template.new" "$template"
    ) 9>"$build/wine-template.lock" || return 1
    echo "$template"
}

qv_wine_begin() {
    local build=$1 name=$2
    build=$(cd "$build" && pwd) || return 1
    qv_wine_environment
    local template
    template=$(qv_wine_template "$build") || return 1

    mkdir -p "$build/wine-runs"
    QV_WINE_RUN=$(mktemp -d "$build/wine-runs/$name.XXXXXX") || return 1
    QV_WINE_LOG="$QV_WINE_RUN/wine.log"
    export WINEPREFIX="$QV_WINE_RUN/prefix"
    cp -a "$template" "$WINEPREFIX" || return 1

    # Without a display CreateWindowEx fails. Xvfb picks a free display number itself and
    # writes it once it accepts connections.
    QV_WINE_XVFB_PID=
    if [[ -z "${DISPLAY:-}" ]]; then
        local display_file="$QV_WINE_RUN/display"
        : >"$display_file"
        Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
            3>"$display_file" </dev/null >"$QV_WINE_RUN/xvfb.log" 2>&1 &
        QV_WINE_XVFB_PID=$!
        local tries
        for ((tries = 0; tries < 100; ++tries)); do
            [[ -s "$display_file" ]] && break
            if ! kill -0 "$QV_WINE_XVFB_PID" 2>/dev/null; then
                echo "wine-env: Xvfb did not start; see $QV_WINE_RUN/xvfb.log" >&2
                return 1
            fi
            sleep 0.1
        done
        if [[ ! -s "$display_file" ]]; then
            echo "wine-env: Xvfb gave no display number" >&2
            return 1
        fi
        DISPLAY=":$(tr -d '[:space:]' <"$display_file")"
        export DISPLAY
    fi

    # A persistent server lets every later process of the run start at once.
    "$QV_WINE_SERVER" -p </dev/null >>"$QV_WINE_LOG" 2>&1
}

qv_wine() {
    "$QV_WINE_LOADER" "$@" </dev/null >>"$QV_WINE_LOG" 2>&1
}

qv_wine_end() {
    if [[ -n "${QV_WINE_RUN:-}" ]]; then
        "$QV_WINE_SERVER" -k >>"$QV_WINE_LOG" 2>&1 || true
        "$QV_WINE_SERVER" -w >>"$QV_WINE_LOG" 2>&1 || true
        rm -rf "$WINEPREFIX"
        QV_WINE_RUN=
    fi
    if [[ -n "${QV_WINE_XVFB_PID:-}" ]]; then
        kill "$QV_WINE_XVFB_PID" 2>/dev/null || true
        wait "$QV_WINE_XVFB_PID" 2>/dev/null || true
        QV_WINE_XVFB_PID=
        unset DISPLAY
    fi
}
