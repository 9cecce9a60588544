#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the formatting check, the
# host suite against the stand-in, the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, a short libFuzzer run of each fuzz target under both
# sanitizers, and both Windows builds with warnings as errors: the shipped 32-bit
# Pravenit.exe checked as a file, and the Wine bench run against the 64-bit build under
# 64-bit Wine and against the 32-bit build under 32-bit Wine. Where this machine cannot
# run 32-bit programs (scripts/wine32-probe.sh), the 32-bit Wine tests are reported as
# skipped with the reason. The last lines say which Windows level ran.
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

# The 64-bit build's tests read the shipped 32-bit program too: build that first.
for preset in windows-x86 windows-x64; do
    echo "== $preset: build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
for preset in windows-x64 windows-x86; do
    echo "== $preset: tests"
    ctest --preset "$preset" --progress
done

echo "== Windows levels"
if reason=$(scripts/wine32-probe.sh); then
    echo "windows-x86 under Wine: ran"
else
    echo "windows-x86 under Wine: skipped ($reason; the same suite ran in windows-x64)"
fi
echo "windows-x64 under Wine: ran"
