#!/usr/bin/env bash
# Times Pravenit.exe under Wine with hyperfine: every case in one run, on one throwaway
# Windows XP prefix, each started the same way (`$WINELOADER <program>`, against the
# bench's persistent wineserver and desktop). It times the shipped 32-bit build under
# 32-bit Wine; where this machine cannot run 32-bit programs (scripts/wine32-probe.sh),
# the x86-64 build of the same sources under 64-bit Wine, and says so first. Every case,
# the floor and the batch file included, runs with that one build and its Wine:
#   floor     the same executable stopped by the version gate (a per-program override
#             makes Wine report Windows 7 to its copy): process start and hidden window
#   entries   10, 100 and 1000 entries in each of both sections, RESET=0, camera present
#   batch     a batch file of one `reg add` a value to the same two keys, run by Wine's
#             cmd: 10, 100 and 1000 entries (the last, 2000 reg processes, takes about
#             a minute a run and is timed twice; --skip-batch-1000 leaves it out)
#   devices   1, 50 and 500 present imaging devices, the camera last, 10 entries
#   check     PravenitCheck.exe beside 10 and 1000 entries with 500 devices, against
#             Pravenit.exe on the same files and devices
# Before any timing, one run of each case is checked (values and their number under both
# keys, nothing from the floor, the batch's values the program's, the camera's key only);
# any surprise stops the bench. The quick cases are timed in interleaved rounds. Then the
# platform calls the program makes are timed inside one process, to show where the time
# goes. Prints medians, ratios and the targets; keeps hyperfine's JSON in build/bench/.
# It prints which targets are met or missed but does not fail on a missed one: its exit
# code is 0 then; only a failed check or a failed run makes it non-zero.
#   bench/run.sh [--skip-batch-1000]
set -euo pipefail
cd "$(dirname "$0")/.."

batch_1000=1
for argument in "$@"; do
    case $argument in
    --skip-batch-1000) batch_1000=0 ;;
    *)
        echo "usage: bench/run.sh [--skip-batch-1000]" >&2
        exit 2
        ;;
    esac
done

bench_started=$(date +%s)
fail() {
    echo "bench: FAILED: $*" >&2
    exit 1
}

scripts/setup.sh
if reason=$(scripts/wine32-probe.sh); then
    preset=windows-x86 arch=x86
    timed="the shipped 32-bit Pravenit.exe (windows-x86) under 32-bit Wine"
else
    preset=windows-x64 arch=x64
    timed="the x86-64 build of the same sources (windows-x64) under 64-bit Wine"
    echo "Build: $reason, so the bench times $timed."
fi
echo "Building Pravenit.exe and the bench helpers ($preset) ..."
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target Pravenit PravenitCheck net_recorder desktop_keeper \
    bench_devices bench_pieces >/dev/null
build=build/$preset
shipped=build/windows-x86/Pravenit.exe
if [ "$arch" = x64 ]; then # the size target is the shipped file's
    cmake --preset windows-x86 >/dev/null
    cmake --build --preset windows-x86 --target Pravenit >/dev/null
fi
results=build/bench
mkdir -p "$results"

state=$(mktemp -d /tmp/pravenit-bench.XXXXXX)
trap 'tests/wine/bench.sh cleanup "$state"; rm -rf "$state"' EXIT
trap 'exit 130' INT TERM

echo "Making a Windows XP prefix under Wine ..."
tests/wine/bench.sh setup "$state" "$arch" "$build/tests/wine/net_recorder.exe" \
    "$build/tests/wine/desktop_keeper.exe"
# What bench.sh run gives a program, here for hyperfine's commands too.
eval "$(tests/wine/bench.sh env "$state")"
wine() { "$WINELOADER" "$@"; }
drive_c=$WINEPREFIX/drive_c

class='{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}'
class_root="SYSTEM\\CURRENTCONTROLSET\\CONTROL\\CLASS\\$class"
camera_settings="$class_root\\0500\\Settings"
default_settings='SOFTWARE\VORN\USBCAMERA\QX7714\DefaultSettings\HLN4482D'
program=$build/Pravenit.exe
checker=$build/PravenitCheck.exe

# --- what the cases read and run ---------------------------------------------------

# The number of entry I: mostly positive, every fifth one negative.
entry_number() {
    if (($1 % 5 == 0)); then echo $((-13 * $1)); else echo $((37 * $1)); fi
}
# The value names of entry I in either section.
class_name() { printf 'Setting%04d' "$1"; }
default_name() { printf 'Default%04d' "$1"; }

settings_file() { # COUNT
    local count=$1 i
    printf '[Device]\r\nVID=VID_2B7E\r\nPID=PID_C0A1\r\n[CLASSSETTINGS]\r\n'
    for ((i = 1; i <= count; ++i)); do
        printf 'Value%d=%s,%d\r\n' "$i" "$(class_name "$i")" "$(entry_number "$i")"
    done
    printf '[DEFAULTSETTINGS]\r\n'
    for ((i = 1; i <= count; ++i)); do
        printf 'Value%d=%s,%d\r\n' "$i" "$(default_name "$i")" "$(entry_number "$i")"
    done
    printf '[INFO]\r\nRESET=0\r\n'
}

# What a deployer would write instead: reg takes the DWORD unsigned, so negative
# numbers are given as their 32-bit pattern.
batch_file() { # COUNT
    local count=$1 i
    printf '@echo off\r\n'
    for ((i = 1; i <= count; ++i)); do
        printf 'reg add "HKLM\\%s" /v %s /t REG_DWORD /d %d /f >nul\r\n' \
            "$camera_settings" "$(class_name "$i")" $(($(entry_number "$i") & 0xffffffff))
    done
    for ((i = 1; i <= count; ++i)); do
        printf 'reg add "HKLM\\%s" /v %s /t REG_DWORD /d %d /f >nul\r\n' \
            "$default_settings" "$(default_name "$i")" $(($(entry_number "$i") & 0xffffffff))
    done
}

# "name 0xdata" lines, as reg query shows REG_DWORD values, sorted.
expected_values() { # COUNT NAME_FUNCTION
    local i
    for ((i = 1; i <= $1; ++i)); do
        printf '%s 0x%x\n' "$("$2" "$i")" $(($(entry_number "$i") & 0xffffffff))
    done | LC_ALL=C sort
}
actual_values() { # KEY below HKLM; nothing when it does not exist
    local listing
    listing=$(wine reg query "HKLM\\$1" 2>/dev/null) || return 0
    tr -d '\r' <<<"$listing" | awk '$2 == "REG_DWORD" { print $1, $3 }' | LC_ALL=C sort
}
key_exists() { wine reg query "HKLM\\$1" >/dev/null 2>&1; }
forget_values() {
    wine reg delete "HKLM\\$camera_settings" /f >/dev/null 2>&1 || true
    wine reg delete "HKLM\\$default_settings" /f >/dev/null 2>&1 || true
}
# Both keys hold exactly the COUNT values of the settings file of that size.
check_values() { # COUNT CASE
    [ "$(actual_values "$camera_settings")" = "$(expected_values "$1" class_name)" ] ||
        fail "$2: HKLM\\$camera_settings does not hold the $1 expected values"
    [ "$(actual_values "$default_settings")" = "$(expected_values "$1" default_name)" ] ||
        fail "$2: HKLM\\$default_settings does not hold the $1 expected values"
}
# Only the camera's driver key got a Settings key.
check_only_camera_written() { # CASE
    local written
    written=$(wine reg query "HKLM\\$class_root" /s | tr -d '\r' | grep -ci '\\Settings$' || true)
    [ "$written" = 1 ] || fail "$1: $written Settings keys under HKLM\\$class_root, expected the camera's only"
}
# The imaging devices as the device installer lists them: COUNT, the camera last.
check_devices() { # COUNT
    local listing count last
    listing=$(wine "$build/bench/devices.exe" list | tr -d '\r')
    count=$(grep -c . <<<"$listing" || true)
    last=$(tail -n 1 <<<"$listing")
    [ "$count" = "$1" ] || fail "$count imaging devices listed, expected $1"
    [[ $last == "USB\\VID_2B7E&PID_C0A1&REV_0102"$'\t'"$class\\0500" ]] ||
        fail "the camera is not the last imaging device listed: $last"
    if (($1 > 1)) && grep -q 'VID_2B7E' <<<"$(head -n -1 <<<"$listing")"; then
        fail "a device before the camera matches it"
    fi
}

place() { # FOLDER FILE_NAME SETTINGS_COUNT: a copy of the program beside a settings file
    mkdir -p "$drive_c/bench/$1"
    cp "$program" "$drive_c/bench/$1/$2"
    settings_file "$3" >"$drive_c/bench/$1/InfoSetting.ini"
}
run_case() { # WINDOWS_COMMAND...: as hyperfine starts it, once
    wine "$@" >/dev/null || fail "$* ended with exit code $?"
}

# Present imaging devices: COUNT-1 of another maker's, then the camera. Enum\USB is the
# bench's own: the fresh prefix has none.
set_devices() { # COUNT
    wine reg delete 'HKLM\SYSTEM\CurrentControlSet\Enum\USB' /f >/dev/null 2>&1 || true
    wine "$build/bench/devices.exe" camera || fail "cannot add the camera"
    if (($1 > 1)); then
        wine "$build/bench/devices.exe" others $(($1 - 1)) || fail "cannot add imaging devices"
    fi
    check_devices "$1"
}

# --- the machine ---------------------------------------------------------------------

key_exists 'SYSTEM\CurrentControlSet\Enum\USB' && fail "the fresh prefix already has USB devices"
set_devices 1

place floor PravenitGate.exe 10
place entries10 Pravenit.exe 10
place entries100 Pravenit.exe 100
place entries1000 Pravenit.exe 1000
place devices Pravenit.exe 10
for count in 10 1000; do
    place "check$count" Pravenit.exe "$count"
    cp "$checker" "$drive_c/bench/check$count/PravenitCheck.exe"
done
batch_counts=(10 100)
[ "$batch_1000" = 0 ] || batch_counts+=(1000)
for count in "${batch_counts[@]}"; do
    mkdir -p "$drive_c/bench/batch$count"
    batch_file "$count" >"$drive_c/bench/batch$count/Provision.bat"
done

# --- what each case does, checked once outside the timing ------------------------------

cmp -s "$program" "$drive_c/bench/floor/PravenitGate.exe" || fail "the floor's copy differs"
gate_key='HKCU\Software\Wine\AppDefaults\PravenitGate.exe'
# The floor's copy writes its settings when Wine reports Windows XP to it too...
wine reg add "$gate_key" /v Version /d winxp /f >/dev/null
forget_values
run_case 'C:\bench\floor\PravenitGate.exe'
check_values 10 floor
# ... and nothing once Windows 7 is reported: the gate is all that stops it.
wine reg add "$gate_key" /v Version /d win7 /f >/dev/null
forget_values
run_case 'C:\bench\floor\PravenitGate.exe'
if key_exists "$camera_settings" || key_exists "$default_settings"; then
    fail "floor: the version gate did not stop the program"
fi

for count in 10 100 1000; do
    forget_values
    run_case "C:\\bench\\entries$count\\Pravenit.exe"
    check_values "$count" "entries $count"
done
# The batch files write exactly what the program writes for the same file.
for count in "${batch_counts[@]}"; do
    forget_values
    run_case cmd /c "C:\\bench\\batch$count\\Provision.bat"
    check_values "$count" "batch $count"
done
for count in 1 50 500; do
    set_devices "$count"
    forget_values
    run_case 'C:\bench\devices\Pravenit.exe'
    check_values 10 "devices $count"
    check_only_camera_written "devices $count"
done

# The check with 500 devices: before Pravenit it finds every value to add and changes
# nothing, after it every value in place.
run_check() { # COUNT EXIT_CODE SUMMARY_TEXT
    local output status=0
    output=$(wine "C:\\bench\\check$1\\PravenitCheck.exe" | tr -d '\r') || status=$?
    [ "$status" = "$2" ] || fail "check $1: exit code $status, expected $2"
    grep -q "^Summary: .*$3" <<<"$output" || fail "check $1: no '$3' in: $(tail -n 1 <<<"$output")"
}
for count in 10 1000; do
    forget_values
    run_check "$count" 1 "$((2 * count)) to add"
    if key_exists "$camera_settings" || key_exists "$default_settings"; then
        fail "check $count: the check created a key"
    fi
    run_case "C:\\bench\\check$count\\Pravenit.exe"
    check_values "$count" "check $count"
    run_check "$count" 0 "$((2 * count)) in place"
done

# --- timing ----------------------------------------------------------------------------

rm -f "$results"/*.json
# hyperfine GROUP WARMUP RUNS NAME COMMAND [NAME COMMAND ...]: one export a call
time_group() {
    local group=$1 warmup=$2 runs=$3
    shift 3
    local arguments=()
    while (($# > 0)); do
        arguments+=(-n "$1" "$WINELOADER $2")
        shift 2
    done
    hyperfine -N --style none --warmup "$warmup" --runs "$runs" \
        --export-json "$results/$group.json" "${arguments[@]}" >"$state/hyperfine.log" 2>&1 ||
        fail "hyperfine failed on $group: $(cat "$state/hyperfine.log")"
}

floor="'C:\\bench\\floor\\PravenitGate.exe'"
walk="'C:\\bench\\devices\\Pravenit.exe'"
# The quick cases take turns in rounds, so that a slower spell of a shared machine
# falls on all of them rather than on one; the floor is timed in every group.
rounds=5 warmup=2 runs=6
for ((round = 1; round <= rounds; ++round)); do
    echo "Timing round $round of $rounds: floor, entries, devices ($warmup warm-up and $runs timed runs a case) ..."
    set_devices 1
    time_group "round$round-1device" "$warmup" "$runs" floor "$floor" \
        entries10 "'C:\\bench\\entries10\\Pravenit.exe'" \
        entries100 "'C:\\bench\\entries100\\Pravenit.exe'" \
        entries1000 "'C:\\bench\\entries1000\\Pravenit.exe'" \
        devices1 "$walk"
    for count in 50 500; do
        set_devices "$count"
        time_group "round$round-${count}devices" "$warmup" "$runs" floor "$floor" \
            "devices$count" "$walk"
    done
done
set_devices 500
echo "Timing PravenitCheck.exe against Pravenit.exe, 10 and 1000 entries, 500 devices ..."
time_group "check-500devices" 2 10 \
    pravenit10 "'C:\\bench\\check10\\Pravenit.exe'" check10 "'C:\\bench\\check10\\PravenitCheck.exe'" \
    pravenit1000 "'C:\\bench\\check1000\\Pravenit.exe'" \
    check1000 "'C:\\bench\\check1000\\PravenitCheck.exe'"
set_devices 1
# A reg process for every value: these take seconds, and the noise does not matter.
declare -A batch_runs=([10]="1 10" [100]="1 5" [1000]="0 2")
for count in "${batch_counts[@]}"; do
    read -r warmup runs <<<"${batch_runs[$count]}"
    echo "Timing the batch file of $count entries ($warmup warm-up and $runs timed runs) ..."
    time_group "batch$count" "$warmup" "$runs" \
        "batch$count" "cmd /c 'C:\\bench\\batch$count\\Provision.bat'"
done

# Where the time goes inside a run: the platform calls the program makes, timed in
# one process with the same files, keys and devices.
declare -A piece # "name@size" -> microseconds
pieces() { # SIZE ARGUMENTS...
    local size=$1 output name micros
    shift
    output=$(wine "$build/bench/pieces.exe" "$@" | tr -d '\r') || fail "pieces.exe $* failed"
    while read -r name micros; do
        piece[$name@$size]=$micros
    done <<<"$output"
}
for count in 100 1000; do
    pieces "$count" entries "C:\\bench\\entries$count\\InfoSetting.ini" "$count" \
        "$camera_settings" "$default_settings"
done
for count in 50 500; do
    set_devices "$count"
    pieces "$count" devices
done

# --- report ------------------------------------------------------------------------------

declare -A median runs_of # case name -> median in ms, number of timed runs
while IFS=$'\t' read -r name value count; do
    median[$name]=$value
    runs_of[$name]=$count
done < <(jq -rs '[.[].results[]] | group_by(.command)[]
    | { name: .[0].command, times: (map(.times) | add | sort) }
    | (.times | length) as $n
    | [ .name,
        1000 * (if $n % 2 == 1 then .times[($n - 1) / 2]
                else (.times[$n / 2 - 1] + .times[$n / 2]) / 2 end),
        $n ] | @tsv' "$results"/*.json)

declare -A label=(
    [floor]="floor: version gate stops it"
    [entries10]="Pravenit.exe, 10 entries"
    [entries100]="Pravenit.exe, 100 entries"
    [entries1000]="Pravenit.exe, 1000 entries"
    [batch10]="batch file, 10 entries"
    [batch100]="batch file, 100 entries"
    [batch1000]="batch file, 1000 entries"
    [devices1]="1 device, 10 entries"
    [devices50]="50 devices, 10 entries"
    [devices500]="500 devices, 10 entries"
    [pravenit10]="Pravenit, 500 devices, 10"
    [check10]="check, 500 devices, 10"
    [pravenit1000]="Pravenit, 500 devices, 1000"
    [check1000]="check, 500 devices, 1000"
)
calc() { awk "BEGIN { printf \"$1\", ($2) }"; }
floor_ms=${median[floor]}
extra() { calc '%.1f' "${median[$1]} - $floor_ms"; }

size=$(stat -c %s "$shipped")
echo
echo "Timed: $timed."
echo "Shipped Pravenit.exe: $size bytes. Medians under Wine; entries are per section, both sections."
printf '%-30s %6s %11s %9s %10s %13s\n' case runs "median ms" "x floor" "extra ms" "batch / this"
for name in floor entries10 entries100 entries1000 batch10 batch100 batch1000 \
    devices1 devices50 devices500 pravenit10 check10 pravenit1000 check1000; do
    [ -n "${median[$name]:-}" ] || continue
    versus_batch=""
    if [[ $name == entries* ]] && [ -n "${median[batch${name#entries}]:-}" ]; then
        versus_batch=$(calc '%.1f' "${median[batch${name#entries}]} / ${median[$name]}")
    fi
    printf '%-30s %6s %11.1f %9.2f %10s %13s\n' "${label[$name]}" "${runs_of[$name]}" \
        "${median[$name]}" "$(calc '%.4f' "${median[$name]} / $floor_ms")" "$(extra "$name")" \
        "$versus_batch"
done
growth_entries=$(calc '%.2f' "($(extra entries1000)) / ($(extra entries100))")
growth_devices=$(calc '%.2f' "($(extra devices500)) / ($(extra devices50))")
echo "Extra over the floor, 1000 vs 100 entries: ${growth_entries}x"
check_ratio10=$(calc '%.2f' "${median[check10]} / ${median[pravenit10]}")
check_ratio1000=$(calc '%.2f' "${median[check1000]} / ${median[pravenit1000]}")
echo "PravenitCheck / Pravenit, 500 devices: ${check_ratio10}x at 10 entries, ${check_ratio1000}x at 1000"
echo "Extra over the floor, 500 vs 50 devices:   ${growth_devices}x"
[ "$batch_1000" = 1 ] || echo "(No batch file of 1000 entries: --skip-batch-1000.)"

echo
echo "Inside one process, the same calls as the program (median of 7 rounds):"
printf '%-44s %10s %10s %18s %8s\n' piece small large "per item" growth
piece_row() { # LABEL NAME SMALL LARGE ITEMS_SMALL ITEMS_LARGE
    local small=${piece[$2@$3]} large=${piece[$2@$4]}
    printf '%-44s %7.1f ms %7.1f ms %6.1f -> %5.1f us %7.2fx\n' "$1" \
        "$(calc '%f' "$small / 1000")" "$(calc '%f' "$large / 1000")" \
        "$(calc '%f' "$small / $5")" "$(calc '%f' "$large / $6")" "$(calc '%f' "$large / $small")"
}
piece_row "profile reads, 100 / 1000 entries x2" profile 100 1000 200 2000
piece_row "key open+set+close, class key, 100 / 1000" registry-class 100 1000 100 1000
piece_row "key open+set+close, default key, 100 / 1000" registry-default 100 1000 100 1000
piece_row "device list (Wine's part), 50 / 500" device-set 50 500 50 500
piece_row "device list + hardware-ID reads, 50 / 500" device-walk 50 500 50 500

echo
echo "Targets:"
target() { # MET(1/0) TEXT
    if [ "$1" = 1 ]; then echo "  met     $2"; else echo "  MISSED  $2"; fi
}
ratio10=$(calc '%.2f' "${median[entries10]} / $floor_ms")
target "$(calc '%d' "$ratio10 <= 1.25")" "10 entries within 1.25x the floor (${ratio10}x)"
speedup=$(calc '%.1f' "${median[batch100]} / ${median[entries100]}")
target "$(calc '%d' "$speedup >= 30")" "100 entries at least 30x faster than the batch file (${speedup}x)"
target "$(calc '%d' "$growth_entries <= 10")" \
    "extra over the floor at 1000 entries at most 10x that at 100 (${growth_entries}x)"
target "$(calc '%d' "$growth_devices <= 10")" \
    "extra over the floor at 500 devices at most 10x that at 50 (${growth_devices}x)"
target "$((size <= 65536))" "the shipped Pravenit.exe at most 64 KiB ($size bytes)"
target "$(calc '%d' "$check_ratio1000 <= 1")" \
    "PravenitCheck no slower than Pravenit at 1000 entries and 500 devices (${check_ratio1000}x)"
echo
echo "hyperfine's JSON exports: $results/; bench wall time $(($(date +%s) - bench_started)) s"
