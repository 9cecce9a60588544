#!/usr/bin/env bash
# The Wine bench: one throw-away Windows XP prefix, a virtual display and one persistent
# wineserver for a whole test run, all kept in a folder of the build tree. ARCH is the
# build the bench runs: x86 (a 32-bit prefix and loader) or x64 (a 64-bit prefix and
# loader, for machines that cannot run 32-bit programs; both report Windows XP).
#   bench.sh setup STATE_DIR ARCH NET_RECORDER_EXE DESKTOP_KEEPER_EXE
#       removes what an earlier run left, makes the prefix, starts Xvfb, wineserver and
#       the desktop, and installs the recording net command as C:\windows\system32\net.exe
#   bench.sh run STATE_DIR WINDOWS_EXE [ARGS...]
#       runs a Windows program in the bench; its exit code is the program's
#   bench.sh env STATE_DIR
#       prints the shell exports that make "$WINELOADER" run in the bench, for callers
#       that start Windows programs themselves: eval "$(bench.sh env STATE_DIR)"
#   bench.sh cleanup STATE_DIR
#       stops wineserver (and every Windows process) and Xvfb, removes the prefix
# Where scripts/wine32-probe.sh says this machine cannot run 32-bit programs, setup and
# run of an x86 bench print why and exit with 77, which ctest reports as skipped.
set -euo pipefail

command=${1:?command}
state=$(realpath -m "${2:?state folder}")
shift 2
probe=$(dirname "$(realpath "$0")")/../../scripts/wine32-probe.sh
readonly Skipped=77

fail() {
    echo "bench: $*" >&2
    exit 1
}

# The loader and server of the bench's build, called directly: Debian's wine wrapper
# always picks the 32-bit loader when it is installed.
use_arch() {
    case $1 in
    x86) WINEARCH=win32 WINELOADER=/usr/lib/wine/wine WINESERVER=/usr/lib/wine/wineserver32 ;;
    x64) WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64 ;;
    *) fail "unknown build $1 (x86 or x64)" ;;
    esac
    export WINEARCH WINELOADER WINESERVER
    export WINEPREFIX=$state/prefix
    export WINEDEBUG=-all
    unset WINEDLLOVERRIDES
}

# An x86 bench on a machine that cannot run 32-bit programs: say why, and skip.
skip_unless_runnable() {
    local reason
    [ "$WINEARCH" = win32 ] || return 0
    reason=$("$probe") && return 0
    echo "$reason; the same suite ran in windows-x64"
    exit $Skipped
}

# The build an earlier setup made the bench for.
use_state_arch() {
    [ -s "$state/arch" ] || fail "no bench: run 'bench.sh setup' first"
    use_arch "$(cat "$state/arch")"
}

# Stops what a run started. Safe to call when nothing or only part of it exists.
cleanup() {
    if [ -d "$WINEPREFIX" ]; then
        "$WINESERVER" -k >/dev/null 2>&1 || true
        "$WINESERVER" -w >/dev/null 2>&1 || true
    fi
    if [ -f "$state/xvfb.pid" ]; then
        local pid
        pid=$(cat "$state/xvfb.pid")
        # Only the Xvfb this bench started, never a process that reused its id.
        if [ -n "$pid" ] && grep -qa Xvfb "/proc/$pid/cmdline" 2>/dev/null; then
            kill "$pid" 2>/dev/null || true
            for _ in $(seq 50); do
                kill -0 "$pid" 2>/dev/null || break
                sleep 0.1
            done
        fi
    fi
    rm -rf "$WINEPREFIX" "$state/xvfb.pid" "$state/display"
}

start_display() {
    # Xvfb picks a free display itself and writes its number to descriptor 3. Its
    # output goes to a file so that ctest has no pipe to wait on.
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 \
        3>"$state/display" >"$state/xvfb.log" 2>&1 </dev/null &
    echo $! >"$state/xvfb.pid"
    for _ in $(seq 100); do
        [ -s "$state/display" ] && return 0
        kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null || fail "Xvfb did not start: $(cat "$state/xvfb.log")"
        sleep 0.1
    done
    fail "Xvfb gave no display number"
}

setup() {
    local arch=${1:?build} recorder=${2:?net recorder} keeper=${3:?desktop keeper}
    [ ! -s "$state/arch" ] || { use_state_arch && cleanup; }
    use_arch "$arch"
    mkdir -p "$state"
    echo "$arch" >"$state/arch"
    skip_unless_runnable
    start_display
    export DISPLAY=:$(cat "$state/display")
    # A prefix that comes out broken (seen once in many runs on a loaded machine: its
    # first program could not load kernel32.dll) is made again, once.
    if ! make_prefix "$recorder" "$keeper"; then
        cp "$state/setup.log" "$state/setup-first.log"
        "$WINESERVER" -k >/dev/null 2>&1 || true
        "$WINESERVER" -w >/dev/null 2>&1 || true
        rm -rf "$WINEPREFIX"
        if ! make_prefix "$recorder" "$keeper"; then
            cat "$state/setup-first.log" "$state/setup.log" >&2
            fail "the bench could not be set up"
        fi
        echo "bench: the first prefix was broken and was made again:" >&2
        cat "$state/setup-first.log" >&2
    fi
}

# Every process started from here on (wineserver, the services, the desktop, the service
# hosts started later) keeps these descriptors: they must not be ctest's pipes. The prefix
# is made first, under a server of its own that ends with it; then one persistent server
# serves the run. No Mono or Gecko: nothing here uses them, and their installers would ask
# on the hidden display. A 64-bit prefix has no 32-bit half: wineboot's complaint about
# syswow64's rundll32 is expected.
make_prefix() {
    local recorder=$1 keeper=$2
    (
        exec >"$state/setup.log" 2>&1 </dev/null
        WINEDLLOVERRIDES="mscoree,mshtml=" "$WINELOADER" wineboot -i &&
            "$WINESERVER" -w &&
            "$WINESERVER" -p &&
            "$WINELOADER" reg add 'HKCU\Software\Wine' /v Version /d winxp /f &&
            cp "$recorder" "$WINEPREFIX/drive_c/windows/system32/net.exe" &&
            { "$WINELOADER" "$keeper" 'C:\desktop-ready' & } &&
            wait_for "$WINEPREFIX/drive_c/desktop-ready"
    )
}

wait_for() {
    for _ in $(seq 600); do
        [ -e "$1" ] && return 0
        sleep 0.1
    done
    echo "bench: no $1 after 60 s"
    return 1
}

use_display() {
    [ -s "$state/display" ] || fail "no bench: run 'bench.sh setup' first"
    export DISPLAY=:$(cat "$state/display")
}

run() {
    local exe=${1:?exe}
    shift
    skip_unless_runnable
    use_display
    exec "$WINELOADER" "$exe" "$@"
}

print_env() {
    use_display
    local name
    for name in WINEARCH WINELOADER WINESERVER WINEPREFIX WINEDEBUG DISPLAY; do
        printf 'export %s=%q\n' "$name" "${!name}"
    done
    echo "unset WINEDLLOVERRIDES"
}

case $command in
setup) setup "$@" ;;
run) use_state_arch && run "$@" ;;
env) use_state_arch && print_env ;;
cleanup) use_state_arch && skip_unless_runnable && cleanup ;;
*) fail "unknown command $command" ;;
esac
