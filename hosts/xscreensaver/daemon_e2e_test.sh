#!/usr/bin/env bash
# The hack end to end on a private Xvfb with two X screens. First on its own: it draws on a window
# named by --window-id or XSCREENSAVER_WINDOW, reports bad options in one line each and keeps
# drawing, follows the window's size from one pattern to the next, and ends by SIGTERM, SIGINT and
# SIGHUP themselves (as a hack should), leaving no shared memory behind, as after SIGKILL; a pixmap
# id is refused in one line, and a window far larger than its screen takes no more than the screen.
# Started with no window named, it opens one of its own, which closing ends; --help and --version.
# Then under the real xscreensaver daemon, run as nobody since the daemon refuses to run hacks as
# root: one launch per screen and none after, a curve on each screen, and a key press ends both,
# which the daemon logs as a normal end by its signal.
# A destroyed window and a lost X connection end it with status 1 and one line. Held on one pattern
# and frame it shows loopster-lab still's picture of that frame pixel for pixel, with either pen.
# It links no Qt, and with no back buffer it draws a 7680 x 4320 screen in 100 MB of address space.
set -euo pipefail

hack=${1:?usage: daemon_e2e_test.sh PATH_TO_HACK [PATH_TO_LOOPSTER_LAB]}
# Without loopster-lab the pinned frame is not compared with its picture.
lab=${2:-}
here=$(cd "$(dirname "$0")" && pwd)

# The hack is a plain xcb program: it must not pull in Qt, whose libraries weigh on every start.
if ldd "$hack" | grep -q 'libQt6'; then
    echo "FAIL: the hack links Qt:" >&2
    ldd "$hack" | grep 'libQt6' >&2
    exit 1
fi
# shellcheck source=../../scripts/e2e-lib.sh
. "$here/../../scripts/e2e-lib.sh"

# Everything the daemon runs must be reachable by nobody: the folder, the hack, the home.
begin_work shared
fail_logs=("$work/hack.log" "$work/daemon.log")
ms_since() { echo $((($(date +%s%N) - $1) / 1000000)); }

mkdir -m 755 "$work/bin"
install -m 755 "$hack" "$work/bin/loopster"
hack="$work/bin/loopster"
use_private_home "$work"
start_private_xvfb 1280x720 "$work" 800x600
screen1="$DISPLAY.1"
root1=$(xwininfo -root -display "$screen1" | awk '/Window id:/ { print $4 }')

# Starts the hack with the given environment and options in the background; sets hack_pid.
start_hack() {
    # Not holding the test window's resize pipe, whose end closes the window.
    env "$@" >>"$work/hack.log" 2>&1 7>&- &
    hack_pid=$!
    pids+=("$hack_pid")
}

# Ends the hack with the signal and expects it to die by that signal; prints how long it took.
expect_signal_end() {
    local signal=$1 start code=0
    start=$(date +%s%N)
    kill -s "$signal" "$hack_pid"
    # The hack is this shell's child: wait returns the moment it ends (the test's time limit
    # catches one that never does), with 128 plus the number of the signal that killed it.
    wait "$hack_pid" || code=$?
    [ "$code" -eq $((128 + $(kill -l "$signal"))) ] || fail "SIG$signal: exit status $code"
    [ -z "$(segments_by "$hack_pid")" ] || fail "SIG$signal left shared memory behind"
    echo "ok: SIG$signal ended the hack by that signal, leaving no shared memory" \
        "($(ms_since "$start") ms as this shell saw it; bench/hack-exit-time.py measures it)"
}

start_hack "$hack" --window-id "$root1" --rate 40 --heavy
poll_until 10 env DISPLAY="$screen1" bash -c ". '$here/../../scripts/e2e-lib.sh'; centre_has_ink '$work/shot.ppm'" ||
    fail "no curve on the window given with --window-id"
running "$hack_pid" || fail "the hack ended by itself"
echo "ok: --window-id $root1 draws a curve"
expect_signal_end TERM

# Killed outright: it shares no memory with the server, so nothing is left.
start_hack "$hack" --window-id "$root1"
poll_until 10 env DISPLAY="$screen1" bash -c ". '$here/../../scripts/e2e-lib.sh'; centre_has_ink '$work/shot.ppm'" ||
    fail "no curve before SIGKILL"
expect_no_shared_memory "$hack_pid" "the hack"
echo "ok: SIGKILL leaves no shared memory behind"

# Held on one pattern and frame (LOOPSTER_TEST_PIN), screen 1 (800 x 600) is loopster-lab's
# picture of that frame pixel for pixel, with either pen, and stays so while it is drawn again.
pens=(light heavy)
[ -n "$lab" ] || { pens=(); echo "note: no loopster-lab given; the pinned frames are not compared"; }
for pen in "${pens[@]}"; do
    heavy=()
    [ "$pen" = heavy ] && heavy=(--heavy)
    "$lab" still --seed 977.5 --frame 25 --size 800x600 "${heavy[@]}" \
        --out "$work/still-$pen.png" >/dev/null
    start_hack LOOPSTER_TEST_PIN=977.5:25 "$hack" --window-id "$root1" "${heavy[@]}"
    poll_until 10 screen_is "$work/shot.ppm" "$work/still-$pen.png" "$work/still.ppm" "$screen1" ||
        fail "the pinned $pen frame differs from loopster-lab still's"
    sleep 0.3
    screen_is "$work/shot.ppm" "$work/still-$pen.png" "$work/still.ppm" "$screen1" ||
        fail "the pinned $pen frame changed while it was drawn again"
    # Covered over the curve and uncovered, the window is exposed and drawn again exactly.
    DISPLAY=$screen1 xmessage -geometry 300x200+250+200 -bg white "covering the curve" \
        2>/dev/null 7>&- &
    cover_pid=$!
    pids+=("$cover_pid")
    poll_until 5 screen_is_not "$work/shot.ppm" "$work/still-$pen.png" "$work/still.ppm" "$screen1" ||
        fail "the covering window did not show"
    kill "$cover_pid"
    wait "$cover_pid" 2>/dev/null || true
    poll_until 5 screen_is "$work/shot.ppm" "$work/still-$pen.png" "$work/still.ppm" "$screen1" ||
        fail "the pinned $pen frame was not drawn again where it was uncovered"
    expect_signal_end TERM >/dev/null
    echo "ok: the pinned $pen frame is loopster-lab still's picture, pixel for pixel, also uncovered"
done

# A pixmap is a drawable but no window: said so, in one line, with status 1.
mkfifo "$work/pixmap"
python3 "$here/test_window.py" 64 64 pixmap <"$work/pixmap" >"$work/pixmap-id" &
pids+=($!)
exec 6>"$work/pixmap"
poll_until 30 test -s "$work/pixmap-id" || fail "no test pixmap"
code=0
"$hack" --window-id "$(cat "$work/pixmap-id")" 2>"$work/pixmap.log" || code=$?
exec 6>&-
[ "$code" -eq 1 ] && [ "$(wc -l <"$work/pixmap.log")" -eq 1 ] &&
    grep -q 'is a pixmap, not a window' "$work/pixmap.log" ||
    fail "a pixmap: status $code and: $(head -c 300 "$work/pixmap.log")"
echo "ok: a pixmap id ends it with status 1: $(cat "$work/pixmap.log")"

: >"$work/hack.log"
start_hack XSCREENSAVER_WINDOW="$(printf '%d' "$root1")" "$hack" --root --rate 500 --light=1 -frobnicate
poll_until 10 env DISPLAY="$screen1" bash -c ". '$here/../../scripts/e2e-lib.sh'; centre_has_ink '$work/shot.ppm'" ||
    fail "no curve on the window named by XSCREENSAVER_WINDOW"
[ "$(wc -l <"$work/hack.log")" -eq 3 ] || fail "expected one line for each of three bad options"
grep -q -- '--rate takes a whole number' "$work/hack.log" || fail "no message for --rate 500"
echo "ok: XSCREENSAVER_WINDOW draws a curve; three bad options, three lines, still drawing"
expect_signal_end INT


# A window of the size given, at 0,0 of screen 0, holds the curve around its own centre: every
# pixel that is not black lies inside it, and the box around them is centred within an eighth.
ink_centred_in() {
    import -window root -depth 8 "ppm:$work/shot.ppm" 2>/dev/null || return 1
    python3 "$private_xvfb_scripts/screenshot.py" centred "$work/shot.ppm" "$1" "$2"
}

# The size is read at each pattern's start: at 100 frames a second a pattern lasts under a second.
mkfifo "$work/resize"
python3 "$here/test_window.py" 400 300 <"$work/resize" >"$work/window-id" &
pids+=($!)
exec 7>"$work/resize"
poll_until 30 test -s "$work/window-id" || fail "no test window"
# Under 1 GB of address space, so that a buffer the size of a window far larger than the screen
# fails.
: >"$work/hack.log"
start_hack bash -c 'ulimit -v 1048576 && exec "$0" "$@"' "$hack" \
    --window-id "$(cat "$work/window-id")" --rate 100
poll_until 10 ink_centred_in 400 300 || fail "no curve around the centre of the 400x300 window"
echo "700 500" >&7
poll_until 10 ink_centred_in 700 500 || fail "the curve did not follow the window to 700x500"
echo "ok: the curve follows its window from 400x300 to 700x500"
# 32767 x 32767 on a 1280 x 720 screen: the buffer is bounded by the screen, not the window.
echo "32767 32767" >&7
sleep 2
running "$hack_pid" && [ ! -s "$work/hack.log" ] ||
    fail "a 32767 x 32767 window: $(head -c 300 "$work/hack.log")"
rss=$(awk '/VmRSS/ { print $2 }' "/proc/$hack_pid/status")
[ "$rss" -lt 262144 ] || fail "a 32767 x 32767 window: $rss kB resident"
echo "ok: a 32767 x 32767 window on a 1280 x 720 screen takes $rss kB"
# The window's owner goes, and the window with it.
: >"$work/hack.log"
exec 7>&-
poll_until 10 ended "$hack_pid" || fail "the hack outlived its window"
code=0
wait "$hack_pid" || code=$?
[ "$code" -eq 1 ] && [ "$(wc -l <"$work/hack.log")" -eq 1 ] ||
    fail "a destroyed window: status $code and $(wc -l <"$work/hack.log") lines"
echo "ok: a destroyed window ends it with status 1: $(cat "$work/hack.log")"

# Started by hand with nothing to draw on, it opens a top-level window of its own (half the
# screen's width at 16:9), which closing ends with status 0, as a signal ends it by that signal.
own_window() { xdotool search --name '^loopster$' 2>/dev/null | head -n 1; }
has_own_window() { [ -n "$(own_window)" ]; }
for ending in close TERM; do
    : >"$work/hack.log"
    start_hack XSCREENSAVER_WINDOW= "$hack"
    poll_until 10 has_own_window || fail "no window of its own"
    window=$(own_window)
    xprop -id "$window" WM_CLASS WM_PROTOCOLS | grep -q 'WM_CLASS.*"loopster", "Loopster"' ||
        fail "its window has no class: $(xprop -id "$window")"
    xprop -id "$window" WM_PROTOCOLS | grep -q WM_DELETE_WINDOW ||
        fail "its window does not take WM_DELETE_WINDOW"
    poll_until 10 ink_centred_in 640 360 || fail "no curve around the centre of its own window"
    if [ "$ending" = close ]; then
        python3 "$here/close_window.py" "$window"
        poll_until 5 ended "$hack_pid" || fail "closing its window did not end it"
        code=0
        wait "$hack_pid" || code=$?
        [ "$code" -eq 0 ] && [ ! -s "$work/hack.log" ] ||
            fail "closing its window: status $code and: $(head -c 300 "$work/hack.log")"
        [ -z "$(segments_by "$hack_pid")" ] || fail "closing its window left shared memory"
        echo "ok: with nothing to draw on it opens a 640x360 window of its own; closing it ends" \
            "the hack with status 0"
    else
        expect_signal_end TERM
    fi
done

# --help and --version on stdout with status 0, before any display is opened.
for option in --help -h --version; do
    out=$(env -u DISPLAY "$hack" "$option" 2>"$work/help.log") || fail "$option failed"
    [ ! -s "$work/help.log" ] || fail "$option wrote to stderr: $(cat "$work/help.log")"
    case $option in
    --version) grep -Eqx 'loopster [0-9]+\.[0-9]+\.[0-9]+' <<<"$out" || fail "--version: $out" ;;
    *) grep -q '^Usage: /usr/libexec/xscreensaver/loopster \[--root\]' <<<"$out" ||
        fail "$option: $out" ;;
    esac
done
echo "ok: --help, -h and --version answer on stdout"

# Screen 0's root window last: what the hack drew there stays after it.
start_hack "$hack" --root
poll_until 10 centre_has_ink "$work/shot.ppm" || fail "no curve on the root window with --root"
expect_signal_end HUP

# The daemon, as nobody, with a private home holding the settings it needs to blank at once.
daemon_home="$work/daemon-home"
mkdir -m 755 "$daemon_home"
cat >"$daemon_home/.xscreensaver" <<EOF_SETTINGS
mode:		one
selected:	0
lock:		False
fade:		False
unfade:		False
splash:		False
dpmsEnabled:	False
timeout:	1:00:00
cycle:		1:00:00
programs:	$hack --root \n
EOF_SETTINGS
chown -R nobody:nogroup "$daemon_home"
as_nobody() {
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env -i HOME="$daemon_home" DISPLAY="$DISPLAY" PATH=/usr/bin:/bin "$@"
}
as_nobody xscreensaver -no-splash -verbose >"$work/daemon.log" 2>&1 &
daemon_pid=$!
pids+=("$daemon_pid")
poll_until 20 as_nobody xscreensaver-command -time >/dev/null 2>&1 ||
    fail "the daemon does not answer"
as_nobody xscreensaver-command -activate >/dev/null

launches() { grep -c "forked \"$hack --root\"" "$work/daemon.log" || true; }
two_launches() { [ "$(launches)" -ge 2 ]; }
poll_until 20 two_launches || fail "the daemon launched $(launches) hacks, not 2"
for screen in "$DISPLAY" "$screen1"; do
    DISPLAY=$screen poll_until 10 centre_has_ink "$work/shot.ppm" ||
        fail "no curve on screen $screen"
done
mapfile -t hack_pids < <(sed -n "s/.*forked \"${hack//\//\\/} --root\" in pid \([0-9]*\).*/\1/p" "$work/daemon.log")
for pid in "${hack_pids[@]}"; do
    running "$pid" || fail "hack $pid ended by itself"
done
sleep 2
[ "$(launches)" -eq 2 ] || fail "$(launches) launches: the daemon relaunched the hack"
grep -q '^loopster:' "$work/daemon.log" && fail "the hack wrote messages"
echo "ok: the daemon launched one hack per screen (pids ${hack_pids[*]}), a curve on each"

# Cycling makes the daemon end the running hacks with SIGTERM and reap them while it stays up, so
# its log says how they ended; then it launches one on each screen again.
as_nobody xscreensaver-command -cycle >/dev/null
for pid in "${hack_pids[@]}"; do
    poll_until 10 ended "$pid" || fail "cycling did not end hack $pid"
    poll_until 5 grep -q "child pid $pid (.*) exited normally with SIGTERM" "$work/daemon.log" ||
        fail "the daemon did not log hack $pid's end by SIGTERM as normal"
    [ -z "$(segments_by "$pid")" ] || fail "hack $pid left shared memory behind"
done
grep -q 'exited abnormally' "$work/daemon.log" && fail "the daemon logged an abnormal end"
four_launches() { [ "$(launches)" -ge 4 ]; }
poll_until 20 four_launches || fail "cycling launched $(($(launches) - 2)) hacks, not 2"
echo "ok: cycling ended both hacks by SIGTERM, which the daemon logs as normal, and started two"
mapfile -t hack_pids < <(sed -n "s/.*forked \"${hack//\//\\/} --root\" in pid \([0-9]*\).*/\1/p" "$work/daemon.log" | tail -n 2)

xdotool key shift
for pid in "${hack_pids[@]}"; do
    poll_until 5 ended "$pid" || fail "the key press did not end hack $pid"
done
grep -q 'unblanking' "$work/daemon.log" || fail "the daemon did not unblank"
sleep 1
[ "$(launches)" -eq 4 ] || fail "a hack was launched after the key press"
for pid in "${hack_pids[@]}"; do
    [ -z "$(segments_by "$pid")" ] || fail "hack $pid left shared memory behind"
done
echo "ok: a key press ended both hacks, and none was launched after"
kill "$daemon_pid"
wait "$daemon_pid" 2>/dev/null || true

# A lost connection: the X server goes away under a running hack.
: >"$work/hack.log"
start_hack "$hack" --root
poll_until 10 centre_has_ink "$work/shot.ppm" || fail "no curve before the server went away"
stop_private_xvfb
poll_until 5 ended "$hack_pid" || fail "the hack outlived its X server"
code=0
wait "$hack_pid" || code=$?
[ "$code" -eq 1 ] || fail "a lost connection ended the hack with status $code"
[ "$(wc -l <"$work/hack.log")" -eq 1 ] || fail "a lost connection gave $(wc -l <"$work/hack.log") lines"
echo "ok: a lost connection ends it with status 1: $(cat "$work/hack.log")"

# No back buffer: a 7680 x 4320 screen (whose buffer alone would take 127 MiB) is drawn in 100 MB
# of address space, without a word.
start_private_xvfb 7680x4320 "$work"
: >"$work/hack.log"
start_hack bash -c 'ulimit -v 102400 && exec "$0" --root --heavy' "$hack"
sleep 3
running "$hack_pid" && [ ! -s "$work/hack.log" ] ||
    fail "7680 x 4320 in 100 MB: $(head -c 300 "$work/hack.log")"
rss=$(awk '/VmRSS/ { print $2 }' "/proc/$hack_pid/status")
echo "ok: a 7680 x 4320 screen is drawn in 100 MB of address space, $rss kB resident"
