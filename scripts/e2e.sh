#!/usr/bin/env bash
# Runs the end-to-end driver on a fresh private Wine prefix and prints what it reported.
#   e2e.sh <build-dir> <driver.exe> <folder of the exes under test> [gtest arguments...]
set -euo pipefail
build=$1 driver=$2 exe_dir=$3
shift 3
source "$(dirname "$0")/wine-env.sh"
trap qv_wine_end EXIT
qv_wine_begin "$build" e2e
# Wine maps the Linux root to Z:.
QV_EXE_DIR="Z:$(cd "$exe_dir" && pwd | tr / '\\')"
export QV_EXE_DIR
report="$QV_WINE_RUN/driver.txt"
status=0
"$QV_WINE_LOADER" "$driver" --gtest_color=no "$@" </dev/null >"$report" 2>&1 || status=$?
cat "$report"
exit "$status"
