#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the host suite against
# the stand-in, the same suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# a short libFuzzer run of each fuzz target under both sanitizers,
# and the 32-bit Windows build with warnings as errors, checked as a file.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

echo "== formatting"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

for preset in host host-sanitize host-fuzz; do
    echo "== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset" --progress
done

echo "== windows-x86"
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86
ctest --preset windows-x86 --progress
