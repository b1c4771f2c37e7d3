#!/usr/bin/env bash
# Writes a delay-load import library for one system DLL: the program then loads the DLL on the
# first call into it instead of at start, so runs that never call it never load it.
#   make-delay-import-lib.sh <nm> <dlltool> <import-lib> <dll-name> <output> <x86_64|i686>
set -euo pipefail
nm=$1 dlltool=$2 import_lib=$3 dll=$4 output=$5 arch=$6
def=$(mktemp)
trap 'rm -f "$def"' EXIT
{
    echo "LIBRARY $dll"
    echo "EXPORTS"
    # Every function the regular import library offers. In 32 bits its symbols carry the C
    # underscore and the stdcall size (_MessageBoxA@16); the definition file names them without
    # the underscore, and --kill-at imports them by their plain name, as the DLL exports them.
    if [[ "$arch" == i686 ]]; then
        "$nm" -g --defined-only "$import_lib" | awk '$2 == "T" { print substr($3, 2) }'
    else
        "$nm" -g --defined-only "$import_lib" | awk '$2 == "T" { print $3 }'
    fi
} >"$def"
kill_at=()
if [[ "$arch" == i686 ]]; then
    kill_at=(--kill-at)
fi
"$dlltool" "${kill_at[@]}" --input-def "$def" --dllname "$dll" --output-delaylib "$output"
