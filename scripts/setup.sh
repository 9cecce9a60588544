#!/usr/bin/env bash
# Installs whatever building and testing Pravenit needs on Debian 12 and is not there
# yet. Safe to run again; runs as root or through sudo.
set -euo pipefail

packages=(
    cmake ninja-build g++             # host build
    googletest libgtest-dev           # host tests
    clang libclang-rt-dev             # sanitizer build
    clang-format                      # formatting check
    g++-mingw-w64-i686                # 32-bit Windows build
    wine wine32:i386 xvfb xauth       # running the Windows build: a 32-bit Wine and a display
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
