#!/usr/bin/env bash
# Remakes the pictures of the program in docs/screenshots: the main window, the notification-area
# menu and the About dialog of quorvex-demo.exe on the embedded default machine, each cropped to
# its window. The end-to-end tests that open them take the pictures, under a private Wine and
# Xvfb, so the pictures show what those tests have just checked.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j 2 --target quorvex-demo qv_e2e_driver

build=build/win64
shots=$build/e2e-screenshots
declare -A tests=(
    [main-window]=MainWindowTest.StartsWithEveryDriveListedAndTheFirstOnesSpeeds
    [tray-menu]=MainWindowTest.TheCloseBoxHidesTheWindowAndEscapeEndsTheProgram
    [about-dialog]=AboutTest.ShowsTheVersionAndTheLinksInBlueAndCloses
)
filter=$(
    IFS=:
    echo "${tests[*]}"
)
for name in "${!tests[@]}"; do
    rm -f "$shots/$name.png"
done
bash scripts/e2e.sh "$build" "$build/bin" "$build/tests/e2e/qv_e2e_driver.exe" \
    "--gtest_filter=$filter"

mkdir -p docs/screenshots
for name in "${!tests[@]}"; do
    # Without the time chunks a picture that shows the same is the same file.
    convert "$shots/$name.png" -strip -define png:exclude-chunks=date,time \
        "docs/screenshots/$name.png"
    echo "screenshots: docs/screenshots/$name.png ($(identify -format '%wx%h' "$shots/$name.png"))"
done
