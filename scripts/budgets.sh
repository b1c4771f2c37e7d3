#!/usr/bin/env bash
# Prints the release's budgets beside what the build measures: the stripped sizes of the 64-bit
# exes, the installer's size when a release has been made, and a windowless save run under Wine
# against the smallest program that writes a registry value. Figures for people: the script fails
# only when it cannot take them.
#   budgets.sh [--starts N]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/win64
starts=(--starts 10)
if [[ "${1:-}" == --starts ]]; then
    starts=(--starts "$2")
fi

(cd "$root" && cmake --preset win64 >/dev/null && cmake --build --preset win64 \
    --target quorvex quorvex-demo UpdateQuorvex >/dev/null)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
verdict() { (($1 <= $2)) && echo met || echo MISSED; }
line() { # name bytes budget-bytes
    printf '  %-34s %8d KiB   budget <= %5d KiB: %s\n' "$1" $(($2 / 1024)) $(($3 / 1024)) \
        "$(verdict "$2" "$3")"
}

echo "sizes"
for exe in quorvex quorvex-demo; do
    x86_64-w64-mingw32-strip -o "$work/$exe.exe" "$build/bin/$exe.exe"
done
line "quorvex.exe (64-bit, stripped)" "$(stat -c%s "$work/quorvex.exe")" $((512 * 1024))
line "quorvex-demo.exe (64-bit, stripped)" "$(stat -c%s "$work/quorvex-demo.exe")" $((1024 * 1024))
shopt -s nullglob
setups=("$root"/build/release/Quorvex-*-setup.exe)
if ((${#setups[@]})); then
    for setup in "${setups[@]}"; do
        line "$(basename "$setup")" "$(stat -c%s "$setup")" $((2 * 1024 * 1024))
    done
else
    echo "  (no installer: scripts/release.sh makes one)"
fi

bash "$root/scripts/bench-ui.sh" --only save-run "${starts[@]}"
