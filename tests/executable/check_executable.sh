#!/usr/bin/env bash
# Checks the built Pravenit.exe as a file:
#   check_executable.sh shape EXE OBJDUMP
#       i686, GUI subsystem, loadable on Windows XP (subsystem and OS version at most
#       5.01), importing only from the system DLLs every XP has, and at most 64 KiB.
#   check_executable.sh reproducible EXE SOURCE_DIR TOOLCHAIN_FILE BUILD_TYPE
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
    local exe=$1 objdump=$2
    headers=$("$objdump" -p "$exe")
    "$objdump" -f "$exe" | grep -q 'file format pei-i386' || fail "not an i686 PE image"
    [ "$(field Magic)" = 010b ] || fail "not PE32"
    [ "$(field Subsystem)" = 00000002 ] || fail "subsystem $(field Subsystem), not Windows GUI"
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
    [ "$size" -le 65536 ] || fail "$size bytes, more than 64 KiB"
    echo "i686 GUI executable, subsystem $(field MajorSubsystemVersion).$(field MinorSubsystemVersion)," \
        "$size bytes, imports: $(echo $dlls)"
}

check_reproducible() {
    local exe=$1 source=$2 toolchain=$3 buildType=$4
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    local folder
    for folder in a "second build with a longer name"; do
        cmake -S "$source" -B "$work/$folder" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
            -DCMAKE_BUILD_TYPE="$buildType" >/dev/null
        cmake --build "$work/$folder" --target Pravenit >/dev/null
        cmp "$exe" "$work/$folder/Pravenit.exe" ||
            fail "a clean build in '$folder' differs from $exe"
    done
    echo "two clean builds match $exe ($(sha256sum "$exe" | cut -c1-16))"
}

case "${1:-}" in
shape) check_shape "$2" "$3" ;;
reproducible) check_reproducible "$2" "$3" "$4" "$5" ;;
*) fail "usage: $0 shape EXE OBJDUMP | reproducible EXE SOURCE_DIR TOOLCHAIN_FILE BUILD_TYPE" ;;
esac
