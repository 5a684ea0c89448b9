#!/usr/bin/env bash
# The loopster executable end to end, on a private Xvfb with a private home: `loopster /s` draws a
# curve, repaints what another window covered, parks the pointer in the bottom-right corner,
# lets a second instance end at once, and ends on a key press, on a mouse button and on the third
# pointer movement.
set -euo pipefail

saver=${1:?usage: saver_e2e_test.sh PATH_TO_LOOPSTER}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/private-xvfb.sh
. "$here/../../scripts/private-xvfb.sh"

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    stop_private_xvfb
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    if [ -s "$work/saver.log" ]; then
        echo "The saver's messages:" >&2
        cat "$work/saver.log" >&2
    fi
    exit 1
}

use_private_home "$work"
start_private_xvfb 1024x768 "$work"

running() { kill -0 "$1" 2>/dev/null; }
ended() { ! running "$1"; }

# Starts `loopster /s` and waits for its first frame; sets saver_pid.
start_saver() {
    "$saver" /s 2>>"$work/saver.log" &
    saver_pid=$!
    pids+=("$saver_pid")
    poll_until 10 centre_has_ink "$work/shot.ppm" ||
        fail "no curve around the centre within 10 s (saver $(running "$saver_pid" && echo running || echo ended))"
    running "$saver_pid" || fail "the saver ended by itself"
}

# Waits for the saver to end and checks that it ended normally; prints how long it took.
expect_end() {
    local what=$1 start
    start=$(date +%s%N)
    poll_until 5 ended "$saver_pid" || fail "$what did not end the saver"
    local code=0
    wait "$saver_pid" || code=$?
    [ "$code" -eq 0 ] || fail "$what: exit code $code"
    echo "ok: $what ended the saver after $((($(date +%s%N) - start) / 1000000)) ms"
}

start_saver
echo "ok: a curve is drawn around the centre"

# Covered by another window and uncovered again, the saver must repaint what was covered from its
# back buffer, not only where frames change: the screen's top-left corner, which no curve reaches,
# shows the other window while it is there and black again once it has gone.
corner_is() {
    import -window root -depth 8 -crop 64x64+0+0 "ppm:$work/corner.ppm" 2>/dev/null || return 1
    local mean
    mean=$(convert "$work/corner.ppm" -format '%[fx:mean]' info:)
    case $1 in
        black) [ "$mean" = 0 ] ;;
        covered) [ "$mean" != 0 ] ;;
    esac
}
corner_is black || fail "the corner is not black while the saver runs"
xmessage -geometry 300x200+0+0 -bg white "covering the saver" 2>/dev/null &
cover_pid=$!
pids+=("$cover_pid")
poll_until 5 corner_is covered || fail "the covering window did not show"
kill "$cover_pid"
wait "$cover_pid" 2>/dev/null || true
poll_until 5 corner_is black || fail "the uncovered saver did not repaint the covered corner"
running "$saver_pid" || fail "covering and uncovering ended the saver"
echo "ok: an uncovered part of the window is repainted"

eval "$(xdotool getmouselocation --shell)"
[ "$X" -eq 1023 ] && [ "$Y" -eq 767 ] || fail "pointer at $X,$Y, not in the bottom-right corner"
echo "ok: the pointer is parked at $X,$Y"

second_code=0
timeout 10 "$saver" /s 2>>"$work/saver.log" || second_code=$?
[ "$second_code" -eq 0 ] || fail "the second instance exited with $second_code"
running "$saver_pid" || fail "the second instance ended the first"
echo "ok: a second instance ends at once and leaves the first running"

xdotool key shift
expect_end "the shift key"

start_saver
xdotool click 1
expect_end "a mouse button"

start_saver
xdotool mousemove --sync 100 100
xdotool mousemove --sync 300 200
# Two moves must leave it running; a frame or two gives a wrong exit the time to show.
sleep 0.2
running "$saver_pid" || fail "two pointer moves ended the saver"
xdotool mousemove --sync 500 300
expect_end "the third pointer move"

echo "PASS"
