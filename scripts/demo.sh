#!/usr/bin/env bash
# The demo: quorvex-demo.exe under a private Wine, on the embedded default machine (or the file
# that QUORVEX_MACHINE names). It runs the windowless save run, prints what it stored in the
# registry, then starts the program as a user would and keeps a screenshot of what it shows.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j 2 --target quorvex-demo

build=build/win64
exe="Z:$(pwd | tr / '\\')\\build\\win64\\bin\\quorvex-demo.exe"
source scripts/wine-env.sh
trap qv_wine_end EXIT
qv_wine_begin "$build" demo

echo "== quorvex-demo.exe /save"
qv_wine "$exe" /save
echo "== What the save run stored (HKCU\\Software\\Velnor\\Quorvex and the Run entry)"
"$QV_WINE_LOADER" reg query 'HKCU\Software\Velnor\Quorvex' </dev/null 2>/dev/null | tr -d '\r'
"$QV_WINE_LOADER" reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Quorvex \
    </dev/null 2>/dev/null | tr -d '\r'

echo "== quorvex-demo.exe, started as a user starts it: the main window on the simulated drives"
"$QV_WINE_LOADER" "$exe" </dev/null >>"$QV_WINE_LOG" 2>&1 &
sleep 4
shot="$build/demo.png"
import -window root "$shot"
echo "Screenshot of what it shows: $shot"
"$QV_WINE_SERVER" -k || true
