#!/usr/bin/env bash
# Checks a built loopster.scr from its PE headers, as `objdump -p` reports them: the right
# architecture (PE32 for the i686 build that ships, PE32+ for the x86_64 build that the tests run),
# the Windows GUI subsystem, imports from the system's own DLLs only (a static build must not need
# the MinGW runtime DLLs on the user's machine), the millisecond clock that paces the frames, the
# release size limit, and the resources that Windows looks for: the manifest, the version
# information, the description string, the icon in every size and the dialog frame.
#
# Usage: check_executable.sh EXE OBJDUMP
# The expected architecture follows from the objdump's target prefix (i686-... or x86_64-...).
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 EXE OBJDUMP" >&2
    exit 2
fi
exe=$1
objdump=$2
max_bytes=$((300 * 1024))

# Lower-case names of DLLs that every Windows installation has. Anything else, and the MinGW runtime
# DLLs (libstdc++-6, libgcc_s_*, libwinpthread-1) in particular, would stop the saver from starting.
system_dlls=" kernel32.dll user32.dll gdi32.dll comctl32.dll msvcrt.dll advapi32.dll shell32.dll \
ole32.dll oleaut32.dll comdlg32.dll shlwapi.dll uxtheme.dll dwmapi.dll winmm.dll version.dll \
bcrypt.dll ntdll.dll ws2_32.dll "

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

case "$(basename "$objdump")" in
    i686-*)
        want_format=pei-i386 want_magic=010b
        ;;
    x86_64-*)
        want_format=pei-x86-64 want_magic=020b
        ;;
    *)
        echo "cannot tell the target architecture from the objdump name: $objdump" >&2
        exit 2
        ;;
esac

headers=$("$objdump" -p "$exe")

format=$(sed -n 's/.*file format \(.*\)$/\1/p' <<<"$headers" | head -n 1)
[ "$format" = "$want_format" ] || fail "file format is '$format', expected '$want_format'"

magic=$(awk '$1 == "Magic" { print $2 }' <<<"$headers")
[ "$magic" = "$want_magic" ] || fail "optional header magic is '$magic', expected '$want_magic'"

subsystem=$(awk '$1 == "Subsystem" { print $2 }' <<<"$headers")
[ "$subsystem" = "00000002" ] ||
    fail "subsystem is '$subsystem', expected 00000002 (Windows GUI): a console saver opens a console window"

# Address-space randomisation and no-execute data, which the linker sets by default and a stray
# flag could switch off.
for characteristic in DYNAMIC_BASE NX_COMPAT; do
    grep -q "^[[:space:]]*$characteristic\$" <<<"$headers" ||
        fail "DllCharacteristics lacks $characteristic"
done

mapfile -t dlls < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
[ ${#dlls[@]} -gt 0 ] || fail "no import table found"
for dll in "${dlls[@]}"; do
    lower=$(tr '[:upper:]' '[:lower:]' <<<"$dll")
    case "$system_dlls" in
        *" $lower "*) ;;
        *) fail "imports $dll, which is not a system DLL" ;;
    esac
done

# Frames are paced by timeGetTime under a 1 ms timer period. GetTickCount moves in 15.6 ms steps
# on Windows (Wine moves it every millisecond, so no run under Wine would notice it coming back):
# paced by it, a set 30 fps shows 21.
mapfile -t functions < <(awk 'NF == 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print $3 }' <<<"$headers")
imports_function() { printf '%s\n' "${functions[@]}" | grep -qx "$1"; }
for wanted in timeGetTime timeBeginPeriod; do
    imports_function "$wanted" || fail "does not import $wanted: the frames are not paced by the millisecond clock"
done
! imports_function GetTickCount || fail "imports GetTickCount, whose 15.6 ms steps on Windows slow the frame rate"

size=$(stat -c %s "$exe")
[ "$size" -lt "$max_bytes" ] || fail "size is $size bytes, the limit is $max_bytes"

# Resource types in the top level of the resource directory: 3 icon, 5 dialog, 14 icon group,
# 16 version, 24 manifest.
mapfile -t types < <(sed -n 's/^[0-9a-f]\{3\}   Entry: ID: 0x\([0-9a-f]*\),.*/\1/p' <<<"$headers")
has_type() {
    local type
    for type in "${types[@]}"; do
        [ $((16#$type)) -eq "$1" ] && return 0
    done
    return 1
}
for wanted in "3 icon" "5 dialog" "14 icon group" "16 version" "24 manifest"; do
    has_type "${wanted%% *}" || fail "no ${wanted#* } resource (type ${wanted%% *})"
done

# The manifest is stored as plain text, and the version block starts with its fixed signature.
grep -aq 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' "$exe" ||
    fail "the manifest does not ask for common controls 6"
grep -aq 'PerMonitorV2' "$exe" || fail "the manifest does not declare per-monitor DPI awareness"
LC_ALL=C grep -aqP '\xbd\x04\xef\xfe' "$exe" || fail "no fixed version information block"

# What the screen-saver list and Explorer read, from the resources as windres decodes them: string
# 1 is the saver's name in the list, and the icon comes in 16, 24, 32, 48 and 256 px (a 256 px
# entry is written as width 0).
resources=$("${objdump%objdump}windres" -i "$exe" -O rc)
grep -q '^  1, "loopster"$' <<<"$resources" || fail "no description string 1 \"loopster\""
icon_sizes=$(sed -n 's/^ *"\\\([0-7]*\)\\\([0-7]*\)\\000\\000", 1, 32, .*Element.*/\1/p' <<<"$resources" |
    while read -r octal; do echo $((8#$octal)); done | sort -n | tr '\n' ' ')
[ "$icon_sizes" = "0 16 24 32 48 " ] ||
    fail "icon sizes are '$icon_sizes' (0 is 256), expected 16, 24, 32, 48 and 256 px"

echo "$exe: $format, magic $magic, subsystem $subsystem, $size bytes (limit $max_bytes)"
echo "imports: ${dlls[*]}"
if [ "$failures" -gt 0 ]; then
    exit 1
fi
echo "OK"
