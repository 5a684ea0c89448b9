#!/usr/bin/env bash
# Runs `loopster.scr /s` under Wine on two monitors, as a Windows user with two screens has it: an
# X server with the dummy video driver and two of its outputs lit (DUMMY0 the primary, 1280 x 800,
# and DUMMY1, 1024 x 768, left of it), which Wine reports as two monitors, the second at negative
# coordinates. Checks on a fresh prefix that:
#   - the first start, in saver mode, writes the marker file;
#   - each monitor shows a curve centred on it;
#   - a key, a click on the left monitor, and the third pointer move (one on each monitor first)
#     each end the saver.
# Skipped (77, with the reason) where Xorg with the dummy driver does not start, or where this build
# is not the one that runs here (wine_machine.sh). Screenshots are kept in WORKDIR.
#
# Usage: wine_monitors_e2e.sh SCR WORKDIR   (WORKDIR is deleted and created again)
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 SCR WORKDIR" >&2
    exit 2
fi
scr=$1
workdir=$2
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine_machine.sh
. "$here/wine_machine.sh"
skip_unless_runnable_here "$scr"
# shellcheck source=../../../scripts/e2e-lib.sh
. "$here/../../../scripts/e2e-lib.sh"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

rm -rf "$workdir"
mkdir -p "$workdir"
workdir=$(cd "$workdir" && pwd)
prefix=$workdir/prefix
marker=$prefix/drive_c/windows/temp/tovren.txt
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
began=$(date +%s)

saver_pid=
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    if [ -n "$saver_pid" ]; then
        kill "$saver_pid" 2>/dev/null || true
    fi
    stop_private_xorg
}
trap cleanup EXIT

if ! start_private_xorg "$workdir"; then
    echo "skipped: Xorg with the dummy driver does not start here:"
    cat "$workdir/xorg.out" "$workdir/xorg.log" 2>/dev/null | tail -n 5
    exit 77
fi
# Modes of their own, so the test does not hang on the modes that the server's configuration lists.
xrandr --newmode loopster-1280 83.50 1280 1352 1480 1680 800 803 809 831 -hsync +vsync
xrandr --newmode loopster-1024 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync
xrandr --addmode DUMMY0 loopster-1280
xrandr --addmode DUMMY1 loopster-1024
xrandr --output DUMMY0 --mode loopster-1280 --primary
xrandr --output DUMMY1 --mode loopster-1024 --left-of DUMMY0
# In X's own coordinates DUMMY1 is at 0,0 and the primary right of it; Wine puts the primary at
# 0,0, so DUMMY1 lies at -1024,0 on the Windows desktop.
left="0 0 1024 768"
right="1024 0 1280 800"
xrandr --listmonitors | grep -q '^Monitors: 2$' || fail "the X server does not show two monitors"

mkdir -p "$prefix"
"$wineserver" -p
"$wine" wineboot -i >/dev/null 2>&1 || true
# Wine manages its windows itself without a window manager; otherwise each window close waits 2 s.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
cp "$scr" "$prefix/drive_c/loopster.scr"
"$wine" cmd /c exit >/dev/null 2>&1 || true
[ ! -e "$marker" ] || fail "the fresh prefix already has a marker file"

start_saver() {
    "$wine" 'C:\loopster.scr' /s >/dev/null 2>&1 &
    saver_pid=$!
}
curves_on_both() {
    shoot "$workdir/shot.ppm" || return 1
    # shellcheck disable=SC2086
    ink_in "$workdir/shot.ppm" $left && ink_in "$workdir/shot.ppm" $right
}
# Moves the pointer and gives a wrong exit the time to show.
move() {
    xdotool mousemove --sync "$@"
    sleep 0.3
}

start_saver
poll_until 60 curves_on_both || fail "no curve centred on each of the two monitors within 60 s"
convert "$workdir/shot.ppm" "$workdir/two-monitors.png"
echo "ok: each monitor shows a curve around its centre"
[ -f "$marker" ] || fail "the first start, in saver mode, wrote no marker file"
xdotool key shift
expect_end "the shift key"

start_saver
poll_until 20 curves_on_both || fail "the saver did not cover both monitors again"
move 300 300
xdotool click 1
expect_end "a click on the left monitor"

start_saver
poll_until 20 curves_on_both || fail "the saver did not cover both monitors again"
# The window may also get a move when it appears under the pointer, so the second move can end it
# already; the first never does, the third always does.
ended_at=
for position in "1500 300" "300 300" "1600 400"; do
    # shellcheck disable=SC2086
    move $position
    if ended "$saver_pid"; then
        ended_at=$position
        break
    fi
done
[ -n "$ended_at" ] || fail "the saver is still running after three pointer moves"
[ "$ended_at" != "1500 300" ] || fail "the first pointer move ended the saver"
expect_end "the pointer moves (ended at $ended_at)"

echo "wine monitors end-to-end: $(($(date +%s) - began)) s"
