#!/usr/bin/env bash
# The loopster executable end to end, on a private Xvfb with a private home: `loopster /s` draws a
# curve, repaints what another window covered, parks the pointer in the bottom-right corner (also
# on a screen too wide for twips in 16 bits), lets a second instance end at once, and ends on a key
# press, on a mouse button, on the third pointer movement and when another client destroys its
# window. Held on one pattern and frame it shows loopster-lab still's picture of that frame pixel
# for pixel, with either pen. Killed outright it leaves no shared memory behind; on an 8-bit
# display or without the
# memory for its back buffer it ends with one line. Without a display, refused starts still end
# quietly, and the saver and the dialog end with one line of explanation.
set -euo pipefail

saver=${1:?usage: saver_e2e_test.sh PATH_TO_LOOPSTER PATH_TO_LOOPSTER_LAB}
lab=${2:?usage: saver_e2e_test.sh PATH_TO_LOOPSTER PATH_TO_LOOPSTER_LAB}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/e2e-lib.sh
. "$here/../../scripts/e2e-lib.sh"

begin_work
fail_logs=("$work/saver.log")
use_private_home "$work"
start_private_xvfb 1024x768 "$work"

# Starts `loopster /s` and waits for its first frame; sets saver_pid.
start_saver() {
    "$saver" /s 2>>"$work/saver.log" &
    saver_pid=$!
    pids+=("$saver_pid")
    poll_until 10 centre_has_ink "$work/shot.ppm" ||
        fail "no curve around the centre within 10 s (saver $(running "$saver_pid" && echo running || echo ended))"
    running "$saver_pid" || fail "the saver ended by itself"
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

# One instance per user whatever the environment: a saver started without the runtime folder, one
# with another cache folder, and a dialog beside the saver all find the lock held.
for start in "-u XDG_RUNTIME_DIR /s" "XDG_CACHE_HOME=$work/other-cache /s" "-u XDG_RUNTIME_DIR /c"; do
    code=0
    # shellcheck disable=SC2086
    timeout 10 env ${start% *} "$saver" "${start##* }" 2>>"$work/saver.log" || code=$?
    [ "$code" -eq 0 ] || fail "'env $start' beside the saver exited with $code"
    running "$saver_pid" || fail "'env $start' ended the first saver"
done
echo "ok: starts in other environments and a dialog beside the saver end at once"

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

# --- Held on one pattern and frame (LOOPSTER_TEST_PIN), the screen is loopster-lab's picture of
# that frame pixel for pixel, with either pen: the X server inks exactly the pen's pixels and the
# last frame's leave no trace. Drawn again every frame, the picture must stay exactly the same.

mkdir -p "$XDG_CONFIG_HOME/loopster"
for pen in light heavy; do
    heavy=()
    [ "$pen" = heavy ] && heavy=(--heavy)
    printf '30\r\n%s\r\n' "$([ "$pen" = heavy ] && echo 2 || echo 1)" \
        >"$XDG_CONFIG_HOME/loopster/tovren.txt"
    "$lab" still --seed 4242.25 --frame 40 --size 1024x768 "${heavy[@]}" \
        --out "$work/still-$pen.png" >/dev/null
    export LOOPSTER_TEST_PIN=4242.25:40
    start_saver
    unset LOOPSTER_TEST_PIN
    poll_until 5 screen_is "$work/shot.ppm" "$work/still-$pen.png" "$work/still.ppm" ||
        fail "the pinned $pen frame differs from loopster-lab still's"
    sleep 0.3
    screen_is "$work/shot.ppm" "$work/still-$pen.png" "$work/still.ppm" ||
        fail "the pinned $pen frame changed while it was drawn again"
    # Covered over the curve and uncovered, the window is exposed and drawn again exactly.
    xmessage -geometry 400x300+312+234 -bg white "covering the curve" 2>/dev/null &
    cover_pid=$!
    pids+=("$cover_pid")
    poll_until 5 screen_is_not "$work/shot.ppm" "$work/still-$pen.png" "$work/still.ppm" ||
        fail "the covering window did not show"
    kill "$cover_pid"
    wait "$cover_pid" 2>/dev/null || true
    poll_until 5 screen_is "$work/shot.ppm" "$work/still-$pen.png" "$work/still.ppm" ||
        fail "the pinned $pen frame was not drawn again where it was uncovered"
    xdotool key shift
    expect_end "the shift key on the pinned $pen frame"
    echo "ok: the pinned $pen frame is loopster-lab still's picture, pixel for pixel, also uncovered"
done
rm "$XDG_CONFIG_HOME/loopster/tovren.txt"

# --- A screen wider than 2184 pixels, whose size in twips leaves X's 16-bit pointer range.

stop_private_xvfb
start_private_xvfb 2560x1440 "$work"
start_saver
eval "$(xdotool getmouselocation --shell)"
[ "$X" -eq 2559 ] && [ "$Y" -eq 1439 ] || fail "pointer at $X,$Y on 2560x1440, not in the corner"
echo "ok: on 2560x1440 the pointer is parked at $X,$Y"

# --- The window destroyed by another client ends the saver, which leaves the lock to the next.

window=$(xdotool search --onlyvisible --pid "$saver_pid" 2>/dev/null | head -n 1)
[ -n "$window" ] || fail "no window of the saver found"
xdotool windowclose "$window"
expect_end "the window destroyed from outside"
start_saver
xdotool key shift
expect_end "the shift key after the destroyed window"

# --- A session bus that does not answer (its daemon stopped) holds nothing up: the saver covers
# the screen as fast as without it, and is still running once its first-frame watchdog has passed.

dbus-daemon --session --fork --print-address=1 --print-pid=1 >"$work/bus.txt"
bus_pid=$(sed -n 2p "$work/bus.txt")
pids+=("$bus_pid")
kill -STOP "$bus_pid"
start=$(date +%s%N)
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus.txt") start_saver
echo "ok: with the session bus stopped the first frame came within $((($(date +%s%N) - start) / 1000000)) ms"
sleep 5
running "$saver_pid" || fail "with the session bus stopped the saver ended by itself"
xdotool key shift
expect_end "the shift key with the session bus stopped"
kill -CONT "$bus_pid"
kill "$bus_pid"

# --- On X11 the saver shares no memory with the server (the server inks the pen's pixels), so
# killed outright it leaves none behind.

start_saver
expect_no_shared_memory "$saver_pid" "the saver"
echo "ok: the saver shares no memory with the X server, and SIGKILL leaves none behind"

# --- A back buffer or a window that cannot be had: one line naming the size and the cause, and
# status 1, never a stream of warnings. An 8-bit display, and 7680 x 4320 in 350 MB on Qt's
# repaint path (LOOPSTER_QT_PAINT=1), which keeps a back buffer as on Wayland.

# Runs the saver for at most 10 s; expects status 1 and one line matching $1.
expect_one_line() {
    local pattern=$1 code=0
    shift
    timeout 10 "$@" >"$work/out.txt" 2>&1 || code=$?
    [ "$code" -eq 1 ] || fail "$pattern: status $code; it said: $(head -c 300 "$work/out.txt")"
    [ "$(wc -l <"$work/out.txt")" -eq 1 ] && grep -q "$pattern" "$work/out.txt" ||
        fail "$pattern: it said: $(head -c 300 "$work/out.txt")"
    echo "ok: status 1 and one line: $(cat "$work/out.txt")"
}
stop_private_xvfb
XVFB_DEPTH=8 start_private_xvfb 1024x768 "$work"
expect_one_line "8-bit colour" "$saver" /s
stop_private_xvfb
start_private_xvfb 7680x4320 "$work"
# Which of the two it meets first depends on what else the process has loaded. Qt's repaint path
# (LOOPSTER_QT_PAINT=1) keeps a back buffer, as on Wayland.
expect_one_line "no memory for a back buffer of 7680 x 4320\|(7680 x 4320 pixels): no memory" \
    env LOOPSTER_QT_PAINT=1 bash -c 'ulimit -v 358400 && exec "$0" /s' "$saver"
# Too few file descriptors: the saver says so at once rather than crash or hang uncovered, and a
# platform plugin that is there but cannot be opened is named as failing to load, with the cause.
expect_one_line "may have only 8 files open at once" bash -c 'ulimit -n 8 && exec "$0" /s' "$saver"
# The test runner's own descriptors are closed first, so that the four are the program's.
# shellcheck disable=SC2016
expect_one_line '"xcb" platform plugin is installed but failed to load (Too many open files' \
    bash -c 'for fd in /proc/$$/fd/*; do fd=${fd##*/}; [ "$fd" -le 2 ] || eval "exec $fd>&-"; done
        ulimit -n 4 && exec "$0" /c' "$saver"

# --- Without a display, and with a dead one: refused starts end quietly with 0 as they do with a
# display; the saver and the dialog say so in one line and end with 1, never by an abort.

stop_private_xvfb
# A display number above the range that servers pick for themselves (TCP port 6000 + n must fit
# in 16 bits), so that no server of anyone else's can be reached by it.
dead=":$((60000 + RANDOM % 5000))"
[ ! -e "/tmp/.X11-unix/X${dead#:}" ] || fail "display $dead unexpectedly exists"
for display in "" "$dead"; do
    for args in "/p 1234" "/S" "" "/a" "/C"; do
        code=0
        # Unquoted on purpose: "/p 1234" is two arguments and "" none.
        # shellcheck disable=SC2086
        DISPLAY=$display timeout 10 env -u WAYLAND_DISPLAY "$saver" $args >"$work/out.txt" 2>&1 ||
            code=$?
        [ "$code" -eq 0 ] || fail "'$args' with DISPLAY='$display' exited with $code"
        if [ -z "$args" ]; then
            # No switch at all: nothing happens, but a person who typed `loopster` is told why.
            [ "$(wc -l <"$work/out.txt")" -eq 1 ] && grep -q "nothing to do without a switch" "$work/out.txt" ||
                fail "no switch with DISPLAY='$display' said: $(cat "$work/out.txt")"
        else
            [ ! -s "$work/out.txt" ] || fail "'$args' with DISPLAY='$display' said: $(cat "$work/out.txt")"
        fi
    done
    for args in "/s" "/c" "/c:123"; do
        code=0
        DISPLAY=$display timeout 10 env -u WAYLAND_DISPLAY "$saver" "$args" >"$work/out.txt" 2>&1 ||
            code=$?
        [ "$code" -eq 1 ] || fail "'$args' with DISPLAY='$display' exited with $code, not 1"
        # The display is what failed, not the platform plugin, which loaded.
        [ "$(wc -l <"$work/out.txt")" -eq 1 ] && grep -q "^loopster: no display could be opened" "$work/out.txt" ||
            fail "'$args' with DISPLAY='$display' said: $(cat "$work/out.txt")"
    done
done
echo "ok: without a display refused starts end with 0; /s and /c say \"$(cat "$work/out.txt")\" and end with 1"

echo "PASS"
