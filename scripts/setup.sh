#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quorvex need, and only when one of them
# is missing, so that a machine already set up is left untouched and needs no network.
set -euo pipefail

packages=(
    cmake ninja-build g++ libgtest-dev libgmock-dev nlohmann-json3-dev
    clang libclang-rt-14-dev
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    wine64 xvfb xauth fonts-wine imagemagick python3 nsis
    openssl
)

missing=()
for package in "${packages[@]}"; do
    if [[ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)" != "install ok installed" ]]; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} == 0)); then
    echo "setup: all ${#packages[@]} packages present"
    exit 0
fi

sudo=()
if ((EUID != 0)); then
    sudo=(sudo)
fi
echo "setup: installing ${missing[*]}"
"${sudo[@]}" apt-get update
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
