#!/usr/bin/env bash
# Installs whatever building and testing Pravenit needs on Debian 12 and is not there
# yet. Safe to run again; runs as root or through sudo.
set -euo pipefail

packages=(
    cmake ninja-build g++             # host build
    googletest libgtest-dev           # host tests
    clang libclang-rt-dev             # sanitizer build
    clang-format                      # formatting check
    g++-mingw-w64-i686                # 32-bit Windows build (the shipped program)
    g++-mingw-w64-x86-64              # 64-bit Windows build (the same code under 64-bit Wine)
    wine wine32:i386 wine64           # running the Windows builds: 32-bit and 64-bit Wine
    xvfb xauth                        # a display for Wine's windows
    hyperfine jq                      # bench/run.sh: timing runs and reading their JSON
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
# The 32-bit Wine comes from Debian's i386 packages.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo[@]}" dpkg --add-architecture i386
fi
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
