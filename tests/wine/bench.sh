#!/usr/bin/env bash
# The Wine bench: one throw-away 32-bit Windows XP prefix, a virtual display and one
# persistent wineserver for a whole test run, all kept in a folder of the build tree.
#   bench.sh setup STATE_DIR NET_RECORDER_EXE DESKTOP_KEEPER_EXE
#       removes what an earlier run left, makes the prefix, starts Xvfb, wineserver and
#       the desktop, and installs the recording net command as C:\windows\system32\net.exe
#   bench.sh run STATE_DIR WINDOWS_EXE [ARGS...]
#       runs a Windows program in the bench; its exit code is the program's
#   bench.sh env STATE_DIR
#       prints the shell exports that make a plain `wine` run in the bench, for callers
#       that start Windows programs themselves: eval "$(bench.sh env STATE_DIR)"
#   bench.sh cleanup STATE_DIR
#       stops wineserver (and every Windows process) and Xvfb, removes the prefix
set -euo pipefail

command=${1:?command}
state=$(realpath -m "${2:?state folder}")
shift 2

export WINEARCH=win32
export WINEPREFIX=$state/prefix
export WINEDEBUG=-all
unset WINEDLLOVERRIDES WINESERVER WINELOADER

fail() {
    echo "bench: $*" >&2
    exit 1
}

# Stops what a run started. Safe to call when nothing or only part of it exists.
cleanup() {
    if [ -d "$WINEPREFIX" ]; then
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
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
    local recorder=${1:?net recorder} keeper=${2:?desktop keeper}
    cleanup
    mkdir -p "$state"
    start_display
    export DISPLAY=:$(cat "$state/display")
    # Every process started from here on (wineserver, the services, the desktop, the
    # service hosts started later) keeps these descriptors: they must not be ctest's
    # pipes. The prefix is made first, under a server of its own that ends with it; then
    # one persistent server serves the run. No Mono or Gecko: nothing here uses them, and
    # their installers would ask on the hidden display.
    if ! (
        exec >"$state/setup.log" 2>&1 </dev/null
        WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i &&
            wineserver -w &&
            wineserver -p &&
            wine reg add 'HKCU\Software\Wine' /v Version /d winxp /f &&
            cp "$recorder" "$WINEPREFIX/drive_c/windows/system32/net.exe" &&
            { wine "$keeper" 'C:\desktop-ready' & } &&
            wait_for "$WINEPREFIX/drive_c/desktop-ready"
    ); then
        cat "$state/setup.log" >&2
        fail "the bench could not be set up"
    fi
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
    use_display
    exec wine "$exe" "$@"
}

print_env() {
    use_display
    local name
    for name in WINEARCH WINEPREFIX WINEDEBUG DISPLAY; do
        printf 'export %s=%q\n' "$name" "${!name}"
    done
    echo "unset WINEDLLOVERRIDES WINESERVER WINELOADER"
}

case $command in
setup) setup "$@" ;;
run) run "$@" ;;
env) print_env ;;
cleanup) cleanup ;;
*) fail "unknown command $command" ;;
esac
