#!/usr/bin/env bash
# Builds a release of both Windows builds into <build-root>/release: the setup, the portable zip
# and their SHA-256 sums.
#   release.sh [--with-test-setups] [build-root]
# build-root defaults to the presets' own build folder. --with-test-setups also writes, to
# <build-root>/release-test, 64-bit setups that the x86_64 Wine can run: this version's and an
# older one to upgrade from.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"

with_test_setups=false
if [[ "${1:-}" == --with-test-setups ]]; then
    with_test_setups=true
    shift
fi
root=${1:-$repo/build}
mkdir -p "$root"
root=$(cd "$root" && pwd)
# The machines that run this have two cores.
jobs=2
# The setup goes out as a download of its own; it should stay small.
setup_budget=$((2 * 1024 * 1024))

bash scripts/setup.sh

for preset in win64 win32; do
    binary_dir=()
    if [[ "$root" != "$repo/build" ]]; then
        binary_dir=(-B "$root/$preset")
    fi
    cmake --preset "$preset" "${binary_dir[@]}"
    cmake --build "$root/$preset" -j "$jobs" --target quorvex UpdateQuorvex
done

config_value() {
    sed -n "s/^#define $1 \"\(.*\)\"\$/\1/p" "$root/win64/generated/app/BuildConfig.h"
}
version=$(config_value QV_VERSION_FULL)
home_page=$(config_value QV_HOME_PAGE)
if [[ -z "$version" || -z "$home_page" ]]; then
    echo "release: the build configuration names no version or home page" >&2
    exit 1
fi

# Stripped copies, laid out as the portable zip holds them; the setup takes its files from here.
staging="$root/release-staging"
top="$staging/Quorvex-$version"
rm -rf "$staging"
for bits in 64 32; do
    if [[ $bits == 64 ]]; then
        preset=win64 strip=x86_64-w64-mingw32-strip
    else
        preset=win32 strip=i686-w64-mingw32-strip
    fi
    mkdir -p "$top/$bits-bit"
    for file in quorvex.exe UpdateQuorvex.exe; do
        "$strip" -o "$top/$bits-bit/$file" "$root/$preset/bin/$file"
    done
    cp "$root/$preset/bin/quorvex-help.html" "$top/$bits-bit/"
done
cat >"$top/README.txt" <<EOF
Quorvex $version, portable

64-bit\\  the program for 64-bit Windows
32-bit\\  the program for 32-bit Windows (it runs on 64-bit Windows as well)

Each folder holds the program (quorvex.exe), its updater (UpdateQuorvex.exe) and its help page
(quorvex-help.html). Keep the three together and run quorvex.exe from any folder, a removable
drive included; nothing needs installing.

Quorvex keeps its settings in the registry, for each user on their own, under
HKEY_CURRENT_USER\\Software\\Velnor\\Quorvex. It writes nothing into its own folder.

To remove it, first turn off "Restore saved speed at system startup" in the program, so that
nothing tries to start it at logon, then delete the folder.
EOF
# Windows readers expect CRLF line ends in a text file.
sed -i 's/$/\r/' "$top/README.txt"

release="$root/release"
rm -rf "$release"
mkdir -p "$release"
setup="$release/Quorvex-$version-setup.exe"
zip="$release/Quorvex-$version-portable.zip"

# make_setup <output> <version> [makensis options...]
make_setup() {
    local output=$1 setup_version=$2
    shift 2
    makensis -V2 "-DVERSION=$setup_version" "-DOUTFILE=$output" "-DDIR64=$top/64-bit" \
        "-DDIR32=$top/32-bit" "-DHELP=$top/64-bit/quorvex-help.html" "-DHOME_PAGE=$home_page" \
        "$@" installer/Quorvex.nsi
}
make_setup "$setup" "$version"

python3 - "$staging" "$zip" <<'EOF'
import os, sys, zipfile
staging, target = sys.argv[1], sys.argv[2]
paths = sorted(os.path.join(folder, name) for folder, _, names in os.walk(staging) for name in names)
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
    for path in paths:
        archive.write(path, os.path.relpath(path, staging))
EOF

(cd "$release" && sha256sum "$(basename "$setup")" "$(basename "$zip")" >SHA256SUMS)

tests=
if [[ $with_test_setups == true ]]; then
    tests="$root/release-test"
    rm -rf "$tests"
    mkdir -p "$tests"
    make_setup "$tests/Quorvex-$version-setup-amd64.exe" "$version" -DTARGET_AMD64
    make_setup "$tests/Quorvex-older-setup-amd64.exe" 4.1.0 -DTARGET_AMD64
fi

echo "release: Quorvex $version in $release"
for file in "$release"/* ${tests:+"$tests"/*}; do
    printf '  %-50s %9d bytes\n' "${file#"$root"/}" "$(stat -c %s "$file")"
done
setup_size=$(stat -c %s "$setup")
if ((setup_size > setup_budget)); then
    echo "release: the setup is $setup_size bytes, over its budget of $setup_budget" >&2
    exit 1
fi
echo "release: the setup uses $setup_size of its $setup_budget bytes"
