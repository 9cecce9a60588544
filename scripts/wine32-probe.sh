#!/usr/bin/env bash
# Decides whether this machine can run 32-bit Windows programs under Wine, by starting
# Debian's 32-bit Wine loader for real. Exit code 0 when it can; otherwise 1, with the
# reason as one line on standard output. Every script and test fixture that would run the
# 32-bit build asks this, and nothing else.
#   PRAVENIT_NO_WINE32=1   answers "cannot" on any machine, to try the 64-bit-only path
set -uo pipefail

loader=/usr/lib/wine/wine

if [ -n "${PRAVENIT_NO_WINE32:-}" ]; then
    echo "PRAVENIT_NO_WINE32 is set: 32-bit programs are not run on this machine"
    exit 1
fi
if [ ! -x "$loader" ]; then
    echo "no 32-bit Wine loader at $loader: run scripts/setup.sh"
    exit 1
fi
# Through qemu-i386 the loader starts, but far too slowly to test with.
for entry in /proc/sys/fs/binfmt_misc/*; do
    [ -f "$entry" ] || continue
    if grep -qx enabled "$entry" 2>/dev/null && grep -q '^interpreter .*qemu-i386' "$entry"; then
        echo "this machine runs 32-bit programs only through qemu-i386 emulation, too slow for Wine"
        exit 1
    fi
done
# A kernel without 32-bit execution refuses the loader ("Exec format error").
if ! timeout 20 "$loader" --version >/dev/null 2>&1; then
    echo "this machine cannot run 32-bit programs"
    exit 1
fi
exit 0
