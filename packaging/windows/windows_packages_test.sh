#!/usr/bin/env bash
# The Windows packages as a user gets them, made by build_windows_packages.sh from the shipped
# 32-bit loopster.scr:
#   - the zip holds loopster.scr as built, INSTALL.txt and LICENSE.txt, both with CR LF line ends;
#   - the installer, under 64-bit Wine with its 32-bit half, each case on a fresh prefix:
#     * `setup.exe /S /ACTIVE` puts loopster.scr in SysWOW64, makes it the active saver, registers
#       its uninstaller; the installed saver runs (a screenshot shows a curve on black); the silent
#       uninstaller leaves the drive and the registry as they were before the install;
#     * an older loopster installed: a newer `setup.exe /S` replaces it, one uninstall entry at the
#       new version, and (no /ACTIVE) the active saver is left alone;
#     * a system folder that cannot be written: a non-zero exit and nothing installed;
#     * the uninstaller, run while the installed saver (/s) or its dialog (/c) runs, or with the
#       system folder unwritable: a non-zero exit and everything still installed, also after a
#       simulated restart (wineboot -r); once the saver has ended, it leaves nothing behind;
#   - the installer declares DPI awareness and the system's visual styles in its manifest.
# Screenshots and the before/after listings are kept in WORKDIR.
#
# Usage: windows_packages_test.sh VERSION SCR INSTALL_TXT LICENSE_TXT WORKDIR
#   (WORKDIR is deleted and created again)
set -euo pipefail

if [ $# -ne 5 ]; then
    echo "usage: $0 VERSION SCR INSTALL_TXT LICENSE_TXT WORKDIR" >&2
    exit 2
fi
version=$1
scr=$(realpath "$2")
install_txt=$(realpath "$3")
license_txt=$(realpath "$4")
workdir=$5
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/e2e-lib.sh
. "$here/../../scripts/e2e-lib.sh"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
for tool in "$wine" "$wineserver" makensis Xvfb xdotool import convert python3; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
done

rm -rf "$workdir"
mkdir -p "$workdir"
workdir=$(cd "$workdir" && pwd)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# The prefixes (about 700 MB each) go at the end; the snapshots and screenshots stay.
prefixes=()
cleanup() {
    local prefix pid
    for prefix in "${prefixes[@]}"; do
        WINEPREFIX=$prefix "$wineserver" -k 2>/dev/null || true
        rm -rf "$prefix"
    done
    for pid in $(jobs -p); do
        kill "$pid" 2>/dev/null || true
    done
}
trap cleanup EXIT

"$here/build_windows_packages.sh" "$version" "$scr" "$install_txt" "$license_txt" \
    "$workdir/packages" >/dev/null
setup=$workdir/packages/loopster-$version-setup.exe
zip=$workdir/packages/loopster-$version-windows.zip

# 64-bit Wine runs the 32-bit installer with its 32-bit half, which needs a kernel that runs 32-bit
# programs. Where it cannot (some virtual machines), the same script is built as a 64-bit installer
# and tested instead, and the installed 32-bit saver is not started.
target_option=()
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "note: this machine cannot run 32-bit programs: testing the installer built for amd64"
    target_option=(-DTARGET=amd64-unicode)
    setup=$workdir/packages/loopster-$version-setup-amd64.exe
    makensis -V1 "${target_option[@]}" -DVERSION="$version" -DSCR="$scr" -DLICENSE="$license_txt" \
        -DOUTFILE="$setup" "$here/loopster.nsi" >/dev/null
fi

python3 - "$zip" "$scr" "$version" <<'PY' || failures=$((failures + 1))
import sys
import zipfile

path, scr, version = sys.argv[1:]
folder = f"loopster-{version}-windows/"
with zipfile.ZipFile(path) as archive:
    names = archive.namelist()
    expected = [folder + name for name in ("INSTALL.txt", "LICENSE.txt", "loopster.scr")]
    if names != expected:
        sys.exit(f"FAIL: the zip holds {names}, not {expected}")
    if archive.read(folder + "loopster.scr") != open(scr, "rb").read():
        sys.exit("FAIL: loopster.scr in the zip is not the one built")
    texts = {name: archive.read(folder + name) for name in ("INSTALL.txt", "LICENSE.txt")}
for name, text in texts.items():
    lines = text.split(b"\n")
    if lines[-1] != b"" or any(not line.endswith(b"\r") for line in lines[:-1]):
        sys.exit(f"FAIL: {name} does not end every line with CR LF")
if f"loopster {version} for Windows".encode() not in texts["INSTALL.txt"]:
    sys.exit("FAIL: INSTALL.txt does not name the version")
if b"MIT License" not in texts["LICENSE.txt"] or b"The loopster developers" not in texts["LICENSE.txt"]:
    sys.exit("FAIL: LICENSE.txt is not the MIT licence of the loopster developers")
print("ok: the zip holds loopster.scr as built, INSTALL.txt and LICENSE.txt with CR LF")
PY

start_private_xvfb 1024x768 "$workdir"

# A fresh 64-bit prefix, its set-up finished and its wine server ended.
fresh_prefix() {
    export WINEPREFIX=$workdir/$1
    prefixes+=("$WINEPREFIX")
    mkdir -p "$WINEPREFIX"
    "$wine" wineboot -i >/dev/null 2>&1 || true
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    "$wineserver" -w
}

# Runs a Windows program and waits until every process of the prefix has ended (an NSIS
# uninstaller copies itself to the temporary folder and returns at once); prints the exit code.
run_wait() {
    local code=0
    "$wine" "$@" >/dev/null 2>&1 || code=$?
    "$wineserver" -w
    echo "$code"
}

# The value of a registry value as `reg query` prints it, or nothing.
reg_value() {
    "$wine" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        awk -v name="$2" '$1 == name { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}

uninstall_key='HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\loopster'
desktop_key='HKCU\Control Panel\Desktop'
saver_path='C:\windows\syswow64\loopster.scr'

# What the install may touch, to compare with after the uninstall: the files of drive C (without
# the temporary folders) and every registry value of Wine's registry files, less what Wine itself
# rewrites at each start (device enumeration) and the uninstaller's own removal from the temporary
# folder at the next start.
snapshot() {
    (cd "$WINEPREFIX/drive_c" && find . -path ./windows/temp -prune -o -path './users/*/Temp' \
        -prune -o -print | sort) >"$1.files"
    python3 - "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" >"$1.registry" <<'PY'
import re
import sys

noise = re.compile(r"(?i)(\\\\Enum\\\\|\\\\Control\\\\Class\\\\|\\\\DeviceClasses\\\\|NetworkCards)")
for path in sys.argv[1:]:
    section = None
    for line in open(path, encoding="utf-8", errors="replace"):
        line = line.rstrip("\n")
        if line.startswith("["):
            section = re.sub(r"\] \d+$", "]", line)
            if "loopster" in section.lower():
                print(section)
        elif section and line and not line.startswith("#") and not noise.search(section):
            if not line.startswith('"PendingFileRenameOperations"'):
                print(section, line)
PY
}

# Fails, saying that what $3 names changed them, unless the snapshots $1 and $2 hold the same
# files and the same registry.
expect_same_snapshots() {
    diff "$1.files" "$2.files" >&2 || fail "$3 changed the files"
    diff "$1.registry" "$2.registry" >&2 || fail "$3 changed the registry"
}

# Without these the system stretches the installer's pages at 150 and 200 % and draws its
# controls in the old style.
grep -aq '>true</dpiAware>' "$setup" || fail "the installer does not declare DPI awareness"
grep -aq 'name="Microsoft.Windows.Common-Controls"' "$setup" ||
    fail "the installer does not ask for the system's visual styles"

echo "install, run and uninstall"
fresh_prefix prefix-install
snapshot "$workdir/before"
code=$(run_wait "$setup" /S /ACTIVE)
[ "$code" -eq 0 ] || fail "setup.exe /S /ACTIVE ended with code $code"
installed=$WINEPREFIX/drive_c/windows/syswow64/loopster.scr
cmp -s "$installed" "$scr" || fail "syswow64/loopster.scr is not the saver as built"
[ ! -e "$WINEPREFIX/drive_c/windows/system32/loopster.scr" ] ||
    fail "the 32-bit saver landed in the 64-bit system folder"
lower() { tr '[:upper:]' '[:lower:]'; }
[ "$(reg_value "$desktop_key" SCRNSAVE.EXE | lower)" = "$(lower <<<"$saver_path")" ] ||
    fail "SCRNSAVE.EXE is '$(reg_value "$desktop_key" SCRNSAVE.EXE)', not $saver_path"
[ "$(reg_value "$desktop_key" ScreenSaveActive)" = 1 ] || fail "ScreenSaveActive is not 1"
[ "$(reg_value "$uninstall_key" DisplayVersion)" = "$version" ] ||
    fail "the uninstall entry is not at version $version"
uninstaller=$(reg_value "$uninstall_key" QuietUninstallString)
[ -n "$uninstaller" ] || fail "the uninstall entry has no QuietUninstallString"
for name in DisplayName Publisher UninstallString DisplayIcon EstimatedSize NoModify NoRepair; do
    [ -n "$(reg_value "$uninstall_key" "$name")" ] || fail "the uninstall entry has no $name"
done
# Program Files (x86) for the 32-bit installer; Wine gives the 64-bit test build Program Files.
compgen -G "$WINEPREFIX/drive_c/Program Files*/loopster/LICENSE.txt" >/dev/null ||
    fail "LICENSE.txt is not installed beside the uninstaller"
echo "  installed: $saver_path, SCRNSAVE.EXE set, uninstall entry at $version"

# The installed saver, started the way the system starts it, covers the screen with a curve.
if [ ${#target_option[@]} -ne 0 ]; then
    echo "  skipped: starting the installed 32-bit saver"
else
    "$wine" "$saver_path" /s >/dev/null 2>&1 &
    saver_pid=$!
    shot=$workdir/installed-saver.png
    lit=0
    for _ in $(seq 20); do
        sleep 0.5
        import -window root "$shot"
        lit=$(convert "$shot" -fill white +opaque black -format '%[fx:round(mean*w*h)]' info:)
        [ "$lit" -gt 200 ] && break
    done
    corner=$(convert "$shot" -crop 8x8+0+0 +repage -fill white +opaque black \
        -format '%[fx:round(mean*w*h)]' info:)
    [ "$lit" -gt 200 ] && [ "$lit" -lt 400000 ] && [ "$corner" -eq 0 ] ||
        fail "the installed saver does not show a curve on black ($lit lit pixels, $corner in the corner)"
    echo "  the installed saver runs: $lit lit pixels ($shot)"
    xdotool key space
    for _ in $(seq 100); do
        kill -0 "$saver_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$saver_pid" 2>/dev/null && fail "the installed saver did not end on a key"
    "$wineserver" -w
fi

# QuietUninstallString is a quoted path and /S, as a management tool would run it.
uninstall_program=$(sed -n 's/^"\([^"]*\)" .*$/\1/p' <<<"$uninstaller")
uninstall_switches=$(sed -n 's/^"[^"]*" \(.*\)$/\1/p' <<<"$uninstaller")
[ "$uninstall_switches" = /S ] || fail "QuietUninstallString is not a quoted path and /S: $uninstaller"
code=$(run_wait "$uninstall_program" /S)
[ "$code" -eq 0 ] || fail "the silent uninstaller ended with code $code"
snapshot "$workdir/after"
expect_same_snapshots "$workdir/before" "$workdir/after" "the install and uninstall"
echo "  uninstalled: the files and the registry are as before the install"

echo "uninstall while the saver runs, and with the system folder unwritable"
fresh_prefix prefix-in-use
snapshot "$workdir/in-use-before"
code=$(run_wait "$setup" /S /ACTIVE)
[ "$code" -eq 0 ] || fail "setup.exe /S /ACTIVE ended with code $code"
snapshot "$workdir/in-use-installed"
# A registry query that starts while the wine server of the install is still going down can come
# back empty; the entry is read until it answers.
for _ in $(seq 20); do
    install_location=$(reg_value "$uninstall_key" InstallLocation)
    uninstall_program=$(sed -n 's/^"\([^"]*\)" .*$/\1/p' <<<"$(reg_value "$uninstall_key" QuietUninstallString)")
    [ -n "$install_location" ] && [ -n "$uninstall_program" ] && break
    sleep 0.5
done
[ -n "$install_location" ] && [ -n "$uninstall_program" ] ||
    fail "setup.exe /S /ACTIVE left no readable uninstall entry"
echo "  installed again; the uninstaller is $uninstall_program"
# Run in place (_?=), the uninstaller returns its own exit code; the saver may still run, so this
# waits for the uninstaller alone. NSIS reads _?= only unquoted and last, which Wine's own
# quoting of arguments would break: a batch file (in the temporary folder, which the snapshots
# leave out) passes the command line as written.
refused_uninstall() {
    local code=0
    printf '@"%s" /S _?=%s\r\n@exit /b %%errorlevel%%\r\n' "$uninstall_program" "$install_location" \
        >"$WINEPREFIX/drive_c/windows/temp/uninstall-in-place.bat"
    "$wine" cmd /c 'C:\windows\temp\uninstall-in-place.bat' >/dev/null 2>&1 || code=$?
    [ "$code" -ne 0 ] || fail "$1: the uninstaller reported success"
    echo "  $1: refused with code $code"
}
# Once every Wine process has ended (the registry files are written then), everything must be as
# right after the install.
still_installed() {
    local before=$failures
    "$wineserver" -w
    snapshot "$workdir/in-use-refused"
    expect_same_snapshots "$workdir/in-use-installed" "$workdir/in-use-refused" \
        "$1: the refused uninstall"
    [ "$failures" -eq "$before" ]
}
if [ ${#target_option[@]} -ne 0 ]; then
    echo "  skipped: the uninstaller while the installed 32-bit saver runs"
else
    for mode in /s /c; do
        "$wine" "$saver_path" "$mode" >/dev/null 2>&1 &
        saver_pid=$!
        if [ "$mode" = /s ]; then
            window=(--classname '^loopster\.scr$')
        else
            window=(--name '^loopster configure$')
        fi
        for _ in $(seq 100); do
            xdotool search --onlyvisible "${window[@]}" >/dev/null 2>&1 && break
            sleep 0.1
        done
        refused_uninstall "uninstall while $mode runs"
        if [ "$mode" = /s ]; then
            xdotool key space
        else
            xdotool key --clearmodifiers alt+F4
        fi
        for _ in $(seq 100); do
            kill -0 "$saver_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -0 "$saver_pid" 2>/dev/null && fail "the saver ($mode) did not end"
        still_installed "uninstall while $mode runs" || true
    done
fi
probe=$WINEPREFIX/drive_c/windows/syswow64/loopster-setup.tmp
mkdir "$probe"
refused_uninstall "uninstall with the system folder unwritable"
rmdir "$probe"
# A restart carries out whatever was queued for it: nothing may have been.
"$wine" wineboot -r >/dev/null 2>&1 || true
still_installed "a restart after the refused uninstalls" &&
    echo "  after a restart (wineboot -r) everything is still installed"
code=$(run_wait "$uninstall_program" /S)
[ "$code" -eq 0 ] || fail "the silent uninstaller ended with code $code once the saver had ended"
"$wine" wineboot -r >/dev/null 2>&1 || true
"$wineserver" -w
snapshot "$workdir/in-use-after"
expect_same_snapshots "$workdir/in-use-before" "$workdir/in-use-after" \
    "the install, the refusals and the uninstall after them"
echo "  once the saver ended, the uninstall (and a restart) left nothing"

echo "an older loopster installed"
# The older saver: the same program with a few bytes more, so that its replacement shows.
older=$workdir/packages/loopster-0.9.0-setup.exe
{ cat "$scr"; printf 'older'; } >"$workdir/older.scr"
makensis -V1 "${target_option[@]}" -DVERSION=0.9.0 -DSCR="$workdir/older.scr" -DLICENSE="$license_txt" -DOUTFILE="$older" \
    "$here/loopster.nsi" >/dev/null
fresh_prefix prefix-upgrade
code=$(run_wait "$older" /S)
[ "$code" -eq 0 ] && [ "$(reg_value "$uninstall_key" DisplayVersion)" = 0.9.0 ] ||
    fail "the older installer did not install (code $code)"
code=$(run_wait "$setup" /S)
[ "$code" -eq 0 ] || fail "setup.exe /S over an older loopster ended with code $code"
cmp -s "$WINEPREFIX/drive_c/windows/syswow64/loopster.scr" "$scr" ||
    fail "the older loopster.scr was not replaced"
[ "$(reg_value "$uninstall_key" DisplayVersion)" = "$version" ] ||
    fail "the uninstall entry still names $(reg_value "$uninstall_key" DisplayVersion)"
entries=$("$wine" reg query 'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall' |
    tr -d '\r' | grep -ci 'uninstall\\loopster' || true)
[ "$entries" -eq 1 ] || fail "$entries uninstall entries for loopster"
[ -z "$(reg_value "$desktop_key" SCRNSAVE.EXE)" ] ||
    fail "a silent install without /ACTIVE changed the active saver"
echo "  replaced 0.9.0 by $version; one uninstall entry; the active saver left alone"

echo "a system folder that cannot be written"
fresh_prefix prefix-refused
snapshot "$workdir/refused-before"
# As root (the test machines) file modes do not stop a write, so the installer's probe file is made
# impossible to create instead: a folder of that name stands in its place.
probe=$WINEPREFIX/drive_c/windows/syswow64/loopster-setup.tmp
mkdir "$probe"
code=$(run_wait "$setup" /S /ACTIVE)
rmdir "$probe"
[ "$code" -ne 0 ] || fail "setup.exe reported success without writing the system folder"
snapshot "$workdir/refused-after"
expect_same_snapshots "$workdir/refused-before" "$workdir/refused-after" "a refused install"
echo "  refused with code $code; nothing installed"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "ok: the Windows zip and installer"
