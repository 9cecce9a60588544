#!/usr/bin/env bash
# The main job, end to end on a throwaway Windows XP under Wine: installs what is
# missing, builds Pravenit.exe, makes a prefix that reports Windows XP with two imaging
# devices (a scanner, then the demo camera), puts the program beside
# examples/InfoSetting.ini, runs it, and prints what it did. It runs the shipped 32-bit
# program under 32-bit Wine; where this machine cannot run 32-bit programs
# (scripts/wine32-probe.sh), the same sources built for x86-64 under 64-bit Wine, and
# says so first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
if reason=$(scripts/wine32-probe.sh); then
    preset=windows-x86 arch=x86
    echo "Build: the shipped 32-bit Pravenit.exe (windows-x86) under 32-bit Wine."
else
    preset=windows-x64 arch=x64
    echo "Build: $reason, so this runs the same sources built for x86-64"
    echo "       (windows-x64) under 64-bit Wine; the shipped program is the 32-bit one."
fi
echo "Building Pravenit.exe ..."
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target Pravenit PravenitCheck net_recorder desktop_keeper \
    >/dev/null
build=build/$preset

# The same throwaway machine the Wine tests use, in a folder of its own.
state=$(mktemp -d /tmp/pravenit-demo.XXXXXX)
trap 'tests/wine/bench.sh cleanup "$state"; rm -rf "$state"' EXIT
echo "Making a Windows XP prefix under Wine ..."
tests/wine/bench.sh setup "$state" "$arch" "$build/tests/wine/net_recorder.exe" \
    "$build/tests/wine/desktop_keeper.exe"
windows() { tests/wine/bench.sh run "$state" "$@"; }
drive_c=$state/prefix/drive_c

# Imaging devices as Wine lists them: Enum keys that name the imaging class.
class='{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}'
devices=(
    # instance key | hardware IDs, first one first | driver key name | description
    'USB\VID_1111&PID_1909\5&2c4d1e&0&1|USB\VID_1111&PID_1909&REV_0200\0USB\VID_1111&PID_1909|0000|Flatbed scanner'
    'USB\VID_2B7E&PID_C0A1\6&1f2e3d4c&0&2|USB\VID_2B7E&PID_C0A1&REV_0102\0USB\VID_2B7E&PID_C0A1|0001|Demo camera'
)
for device in "${devices[@]}"; do
    IFS='|' read -r instance ids driver description <<<"$device"
    key="HKLM\\System\\CurrentControlSet\\Enum\\$instance"
    windows reg add "$key" /v ClassGUID /d "$class" /f >/dev/null
    windows reg add "$key" /v HardwareId /t REG_MULTI_SZ /d "$ids" /f >/dev/null
    windows reg add "$key" /v Driver /d "$class\\$driver" /f >/dev/null
    windows reg add "$key" /v DeviceDesc /d "$description" /f >/dev/null
done
# The system directory's net.exe is a recorder: it writes down how it was started
# and restarts nothing.
windows reg add 'HKCU\Software\Wine\DllOverrides' /v net.exe /d native /f >/dev/null

mkdir -p "$drive_c/Program Files/Pravenit"
cp "$build/Pravenit.exe" "$build/PravenitCheck.exe" examples/InfoSetting.ini \
    "$drive_c/Program Files/Pravenit/"

echo
echo "Imaging devices:"
for device in "${devices[@]}"; do
    IFS='|' read -r instance ids driver description <<<"$device"
    printf '  %-16s %-32s driver %s\\%s\n' "$description" "${ids%%\\0*}" "$class" "$driver"
done
echo "Settings: examples/InfoSetting.ini with" $(grep -E '^(VID|PID|RESET)=' examples/InfoSetting.ini)

# The check, from a console as a deployer runs it: what Pravenit will do here.
check() {
    local status=0
    echo "PravenitCheck.exe $1:"
    windows cmd /c 'C:\Program Files\Pravenit\PravenitCheck.exe' | tr -d '\r' | sed 's/^/| /' ||
        status=$?
    echo "(exit code $status)"
}
check "before the run"
echo

started=$(date +%s%N)
status=0
windows 'C:\Program Files\Pravenit\Pravenit.exe' || status=$?
elapsed=$((($(date +%s%N) - started) / 1000000))
echo "Ran C:\\Program Files\\Pravenit\\Pravenit.exe: exit code $status, $elapsed ms"
echo
# The start command is not waited for by the program: give it a moment to finish.
log=$drive_c/net-recorder.log
for _ in $(seq 50); do
    [ "$(grep -c '^begin' "$log" 2>/dev/null)" = "$(grep -c '^end' "$log" 2>/dev/null)" ] && break
    sleep 0.1
done

# The values of a key below HKLM, one a line, or why there are none.
show_key() {
    local listing
    if ! listing=$(windows reg query "HKLM\\$1" 2>/dev/null); then
        echo "  HKLM\\$1: no such key"
        return
    fi
    echo "  HKLM\\$1"
    listing=${listing//$'\r'/}
    local name type data number
    while read -r name type data; do
        case $type in
        REG_DWORD) # shown with the signed number the settings file gives
            number=$((data > 0x7fffffff ? data - 0x100000000 : data))
            printf '      %-20s REG_DWORD %s (%d)\n' "$name" "$data" "$number"
            ;;
        REG_*) printf '      %-20s %s %s\n' "$name" "$type" "$data" ;;
        esac
    done <<<"$listing"
}

matched=""
for device in "${devices[@]}"; do
    IFS='|' read -r instance ids driver description <<<"$device"
    settings="SYSTEM\\CURRENTCONTROLSET\\CONTROL\\CLASS\\$class\\$driver\\Settings"
    if windows reg query "HKLM\\$settings" >/dev/null 2>&1; then
        matched=$settings
        echo "Matched: $description, ${ids%%\\0*} (driver key $class\\$driver)"
    fi
done
[ -n "$matched" ] || echo "Matched: no device"
echo "Values written:"
[ -z "$matched" ] || show_key "$matched"
show_key 'SOFTWARE\VORN\USBCAMERA\QX7714\DefaultSettings\HLN4482D'
echo "Service commands started (as the recording net.exe saw them; nothing was restarted):"
if [ -s "$log" ]; then
    awk -F'\t' '$1 == "begin" {
        show = ($4 == 1 && $5 == 0) ? "hidden" : "flags " $4 ", show " $5
        printf "      %-18s %s, %s\n", $3, $2, show }' "$log"
else
    echo "      none"
fi

echo
check "after the run"
