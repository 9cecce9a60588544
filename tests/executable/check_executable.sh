#!/usr/bin/env bash
# Checks a built program (Pravenit.exe or PravenitCheck.exe) as a file:
#   check_executable.sh shape EXE OBJDUMP SUBSYSTEM MAX_BYTES
#       i686, of the given subsystem (gui or console), loadable on Windows XP (subsystem
#       and OS version at most 5.01), importing only from the system DLLs every XP has,
#       and at most MAX_BYTES long.
#   check_executable.sh readonly EXE OBJDUMP
#       imports no function that writes a file, a registry key or value, or starts a
#       process: the program can only read.
#   check_executable.sh reproducible EXE SOURCE_DIR TOOLCHAIN_FILE BUILD_TYPE TARGET
#       two clean builds of the same sources, in folders of different names, give
#       the same bytes as EXE.
set -euo pipefail

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

field() { # the value of a line of objdump's private headers
    awk -v name="$1" '$1 == name { print $2; exit }' <<<"$headers"
}

check_shape() {
    local exe=$1 objdump=$2 subsystem=$3 limit=$4 code
    case $subsystem in
    gui) code=00000002 ;;
    console) code=00000003 ;;
    *) fail "unknown subsystem $subsystem" ;;
    esac
    headers=$("$objdump" -p "$exe")
    "$objdump" -f "$exe" | grep -q 'file format pei-i386' || fail "not an i686 PE image"
    [ "$(field Magic)" = 010b ] || fail "not PE32"
    [ "$(field Subsystem)" = "$code" ] || fail "subsystem $(field Subsystem), not $subsystem"
    local kind major minor
    for kind in Subsystem OSystem; do
        major=$(field "Major${kind}Version")
        minor=$(field "Minor${kind}Version")
        if [ "$major" -gt 5 ] || { [ "$major" -eq 5 ] && [ "$minor" -gt 1 ]; }; then
            fail "$kind version $major.$minor is newer than Windows XP (5.1)"
        fi
    done
    local dlls unexpected
    dlls=$(awk '/DLL Name:/ { print toupper($3) }' <<<"$headers" | sort -u)
    [ -n "$dlls" ] || fail "no imports found"
    unexpected=$(grep -vxE 'KERNEL32\.DLL|USER32\.DLL|ADVAPI32\.DLL|SETUPAPI\.DLL|MSVCRT\.DLL' \
        <<<"$dlls" || true)
    [ -z "$unexpected" ] || fail "imports from $(echo $unexpected)"
    local size
    size=$(stat -c %s "$exe")
    [ "$size" -le "$limit" ] || fail "$size bytes, more than $limit"
    echo "i686 $subsystem executable, subsystem $(field MajorSubsystemVersion).$(field MinorSubsystemVersion)," \
        "$size bytes (at most $limit), imports: $(echo $dlls)"
}

check_readonly() {
    local exe=$1 objdump=$2 functions writing
    # The imported names: the last word of each line of an import table.
    functions=$("$objdump" -p "$exe" | awk '/DLL Name:/ { on = 1; next }
        on && NF == 0 { on = 0 } on && $NF ~ /^[A-Za-z_]/ { print $NF }' | sort -u)
    [ -n "$functions" ] || fail "no imported functions found"
    writing=$(grep -E '^(Reg(Set|Create|Delete|Save|Restore|Replace|Load|Unload|Flush)|WriteFile|WritePrivateProfile|WriteProfile|CreateProcess|WinExec|ShellExecute|DeleteFile|MoveFile|CopyFile|CreateDirectory|RemoveDirectory|SetFile|SetEndOfFile)' \
        <<<"$functions" || true)
    [ -z "$writing" ] || fail "imports functions that write or start: $(echo $writing)"
    echo "$(wc -l <<<"$functions") imported functions, none that writes or starts a process"
}

check_reproducible() {
    local exe=$1 source=$2 toolchain=$3 buildType=$4 target=$5
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    local folder
    for folder in a "second build with a longer name"; do
        cmake -S "$source" -B "$work/$folder" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
            -DCMAKE_BUILD_TYPE="$buildType" >/dev/null
        cmake --build "$work/$folder" --target "$target" >/dev/null
        cmp "$exe" "$work/$folder/$target.exe" ||
            fail "a clean build in '$folder' differs from $exe"
    done
    echo "two clean builds match $exe ($(sha256sum "$exe" | cut -c1-16))"
}

case "${1:-}" in
shape) check_shape "$2" "$3" "$4" "$5" ;;
readonly) check_readonly "$2" "$3" ;;
reproducible) check_reproducible "$2" "$3" "$4" "$5" "$6" ;;
*) fail "usage: $0 shape EXE OBJDUMP SUBSYSTEM MAX_BYTES | readonly EXE OBJDUMP | reproducible EXE SOURCE_DIR TOOLCHAIN_FILE BUILD_TYPE TARGET" ;;
esac
