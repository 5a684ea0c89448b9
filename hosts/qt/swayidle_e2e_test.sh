#!/usr/bin/env bash
# The README's Wayland recipe end to end: swayidle starts the saver when sway has been idle, and
# the locker the moment the saver ends, so that the key that ends the saver meets a locked screen.
# Sway runs on its X11 backend inside a private Xvfb, whose keyboard xdotool drives as a user
# would; sway, swayidle, the saver and swaylock run as nobody (sway will not run as root) in a
# private runtime folder.
set -euo pipefail

saver=${1:?usage: swayidle_e2e_test.sh PATH_TO_LOOPSTER}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/e2e-lib.sh
. "$here/../../scripts/e2e-lib.sh"

begin_work shared
fail_logs=("$work/swayidle.log" "$work/sway.log")
# The processes named $1 that this test started: those whose runtime folder is the test's own.
ours() {
    local pid
    for pid in $(pgrep -x "$1"); do
        { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null |
            grep -qx "XDG_RUNTIME_DIR=$work/runtime" && echo "$pid"
    done
    return 0
}
# swaylock -f leaves swayidle's process group, so it is ended by its pid at exit.
on_exit() {
    local pid
    for pid in $(ours swaylock); do
        kill "$pid" 2>/dev/null || true
    done
}

nobody_home "$saver"

start_private_xvfb 1024x768 "$work"
: >"$work/sway.conf"
as_nobody WLR_RENDERER=pixman WLR_BACKENDS=x11 WLR_X11_OUTPUTS=1 DISPLAY="$DISPLAY" \
    sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
pids+=($!)
wayland_up() { compgen -G "$work/runtime/wayland-[0-9]*.lock" >/dev/null; }
poll_until 10 wayland_up || fail "sway did not start"
wayland=$(basename "$(compgen -G "$work/runtime/wayland-[0-9]*.lock")" .lock)
shot() { XDG_RUNTIME_DIR="$work/runtime" WAYLAND_DISPLAY="$wayland" grim -t ppm "$1" 2>/dev/null; }

# As in the README, with one second of idleness instead of five minutes.
as_nobody WAYLAND_DISPLAY="$wayland" \
    swayidle -w timeout 1 'loopster /s; swaylock -f -c 000000' >"$work/swayidle.log" 2>&1 &
pids+=($!)
saver_runs() { [ -n "$(ours loopster)" ]; }
drawn() { shot "$work/shot.ppm" && ink_in "$work/shot.ppm" 0 0 1024 768; }
poll_until 15 saver_runs || fail "swayidle did not start the saver"
poll_until 15 drawn || fail "no curve from the saver that swayidle started"
[ -n "$(ours swaylock)" ] && fail "the screen was locked before the saver ended"
echo "ok: idle, swayidle starts the saver, and nothing is locked yet"

xdotool key space
saver_ended() { ! saver_runs; }
poll_until 5 saver_ended || fail "a key did not end the saver"
locked() { [ -n "$(ours swaylock)" ]; }
poll_until 5 locked || fail "no locker after the saver ended"
sleep 0.5
shot "$work/shot.ppm" || fail "no screenshot of the locked screen"
ink_in "$work/shot.ppm" 0 0 1024 768 any && fail "the locked screen is not black"
echo "ok: the key that ends the saver meets the locker: the screen is locked when the saver ends"
echo "PASS"
