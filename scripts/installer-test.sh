#!/usr/bin/env bash
# The release under Wine: builds it with the 64-bit setups that the x86_64 Wine can run, unpacks
# the portable zip, and runs the driver's installer tests on them.
#   installer-test.sh [build-root]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
root=${1:-$repo/build}

bash scripts/release.sh --with-test-setups "$root"
root=$(cd "$root" && pwd)
# The driver and the demo, which the release itself does not need.
cmake --build "$root/win64" -j 2 --target qv_e2e_driver quorvex-demo

version=$(sed -n 's/^#define QV_VERSION_FULL "\(.*\)"$/\1/p' "$root/win64/generated/app/BuildConfig.h")
tests="$root/release-test"
portable="$tests/portable"
python3 -m zipfile -e "$root/release/Quorvex-$version-portable.zip" "$portable"

# Wine maps the Linux root to Z:.
windows_path() {
    echo "Z:$(tr / '\\' <<<"$1")"
}
QV_SETUP_EXE=$(windows_path "$tests/Quorvex-$version-setup-amd64.exe")
QV_OLD_SETUP_EXE=$(windows_path "$tests/Quorvex-older-setup-amd64.exe")
QV_PORTABLE_ZIP_DIR=$(windows_path "$portable")
export QV_SETUP_EXE QV_OLD_SETUP_EXE QV_PORTABLE_ZIP_DIR
# Wine copies the shortcuts that the setups make into the Linux desktop's menus: into the test
# folder, not the user's.
export XDG_DATA_HOME="$tests/desktop/data" XDG_CONFIG_HOME="$tests/desktop/config"

bash scripts/e2e.sh "$root/win64" "$root/win64/bin" "$root/win64/tests/e2e/qv_e2e_driver.exe" \
    '--gtest_filter=Installer*'
