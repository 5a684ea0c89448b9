#!/usr/bin/env bash
# The saver on Wayland end to end, with sway as the compositor and no XWayland. Sway will not run
# as root, so it and the saver run as nobody, in a private runtime folder (mode 0700).
# First headless with two outputs: `loopster /s` puts a window full screen on each, covers it in
# black and draws a curve around its centre, and says nothing; `loopster /c` shows the dialog. With
# Qt's Wayland plugin hidden in a private mount namespace, as if qt6-wayland were not installed,
# /s and /c end with one line naming the plugin and its package.
# Then one headless output at scale 2, where the saver held on one frame shows loopster-lab's
# picture of it at the output's own pixels.
# Then sway on its X11 backend inside a private Xvfb, whose pointer and keyboard xdotool drives as
# a user would: no pointer is drawn over the saver, and a key, a click or moving the pointer ends
# it.
set -euo pipefail

saver=${1:?usage: wayland_e2e_test.sh PATH_TO_LOOPSTER PATH_TO_LOOPSTER_LAB}
lab=${2:?usage: wayland_e2e_test.sh PATH_TO_LOOPSTER PATH_TO_LOOPSTER_LAB}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/e2e-lib.sh
. "$here/../../scripts/e2e-lib.sh"

begin_work shared
SWAY_DEBUG=()
fail_logs=("$work/saver.log" "$work/sway.log")

nobody_home "$saver"

# Starts sway with the given backend variables and waits for its display and its IPC socket.
start_sway() {
    local socket
    rm -f "$work/runtime"/wayland-* "$work/runtime"/sway-ipc.*
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" \
        WLR_RENDERER=pixman "$@" sway "${SWAY_DEBUG[@]}" -c "$work/sway.conf" \
        >"$work/sway.log" 2>&1 &
    sway_pid=$!
    pids+=("$sway_pid")
    wayland_up() {
        compgen -G "$work/runtime/wayland-[0-9]*.lock" >/dev/null &&
            compgen -G "$work/runtime/sway-ipc.*" >/dev/null
    }
    poll_until 10 wayland_up || fail "sway did not start"
    socket=$(compgen -G "$work/runtime/wayland-[0-9]*.lock")
    WAYLAND_NAME=$(basename "$socket" .lock)
    SWAYSOCK=$(compgen -G "$work/runtime/sway-ipc.*")
}

stop_sway() {
    kill "$sway_pid" 2>/dev/null || true
    wait "$sway_pid" 2>/dev/null || true
}

# Starts the saver with the given arguments, held on the pattern and frame $pin when that is set;
# sets saver_pid. Its stdout and stderr go to saver.log.
start_saver() {
    : >"$work/saver.log"
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" \
        WAYLAND_DISPLAY="$WAYLAND_NAME" ${pin:+LOOPSTER_TEST_PIN="$pin"} \
        "$work/bin/loopster" "$@" >"$work/saver.log" 2>&1 &
    saver_pid=$!
    pids+=("$saver_pid")
}

stop_saver() {
    kill "$saver_pid" 2>/dev/null || true
    wait "$saver_pid" 2>/dev/null || true
}

# A screenshot of every output as a binary PPM ($1), with the pointer when $2 is "cursor".
shoot_wayland() {
    XDG_RUNTIME_DIR="$work/runtime" WAYLAND_DISPLAY="$WAYLAND_NAME" \
        grim ${2:+-c} -t ppm "$1" 2>/dev/null
}

# The windows of loopster that sway knows, one line each: "fullscreen x y width height" and the
# output's "x y width height".
loopster_windows() {
    as_nobody SWAYSOCK="$SWAYSOCK" swaymsg -r -t get_tree | python3 -c '
import json, sys
def walk(node, output):
    if node.get("type") == "output":
        output = node["rect"]
    if node.get("app_id") == "loopster" and node.get("visible"):
        r = node["rect"]
        print(node.get("fullscreen_mode"), r["x"], r["y"], r["width"], r["height"],
              output["x"], output["y"], output["width"], output["height"])
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child, output)
walk(json.load(sys.stdin), None)'
}

# True when at least $6 percent of the pixels in the rectangle LEFT TOP WIDTH HEIGHT of the
# screenshot $1 are black: a saver window covers that area rather than the compositor's
# background showing through.
black_share_at_least() {
    python3 "$private_xvfb_scripts/screenshot.py" black "$@"
}

# --- Headless, two outputs side by side of different sizes.
cat >"$work/sway.conf" <<'EOF_CONF'
output HEADLESS-1 resolution 800x600 position 0 0
output HEADLESS-2 resolution 640x480 position 800 0
EOF_CONF
# Sway 1.7 (headless, pixman) repaints an output that a full-screen window moves to only where
# the window later changes, though the window sends all its pixels again there, so the rest keeps
# sway's grey; redrawing whole frames (-D damage=rerender) shows what the windows hold.
SWAY_DEBUG=(-D damage=rerender)
start_sway WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=2 WLR_LIBINPUT_NO_DEVICES=1
SWAY_DEBUG=()
echo "ok: sway runs headless as nobody on $WAYLAND_NAME"

start_saver /s
both_drawn() {
    shoot_wayland "$work/shot.ppm" &&
        ink_in "$work/shot.ppm" 0 0 800 600 && ink_in "$work/shot.ppm" 800 0 640 480
}
poll_until 15 both_drawn || fail "no curve around the centre of each output"
windows=$(loopster_windows)
[ "$(wc -l <<<"$windows")" -eq 2 ] || fail "not two saver windows: $windows"
while read -r mode x y w h ox oy ow oh; do
    [ "$mode" = 1 ] && [ "$x $y $w $h" = "$ox $oy $ow $oh" ] ||
        fail "a window is not full screen on its output: $mode $x $y $w $h on $ox $oy $ow $oh"
done <<<"$windows"
# Later frames replace the first; the windows stay black between the curves. Each window shows
# one curve, drawn in one colour, which moves along the gradient from frame to frame: a buffer
# that kept an earlier frame's curve would show two colours.
sleep 1
for shot in 1 2 3 4 5; do
    shoot_wayland "$work/shot.ppm"
    black_share_at_least "$work/shot.ppm" 0 0 800 600 90 &&
        black_share_at_least "$work/shot.ppm" 800 0 640 480 90 ||
        fail "the compositor's background shows through a saver window"
    for output in "0 0 800 600" "800 0 640 480"; do
        # shellcheck disable=SC2086
        colours=$(python3 "$private_xvfb_scripts/screenshot.py" colours "$work/shot.ppm" $output)
        [ "$colours" -eq 1 ] || fail "the output at $output shows ink of $colours colours, not one curve"
    done
    sleep 0.3
done
running "$saver_pid" || fail "the saver ended by itself"
[ ! -s "$work/saver.log" ] || fail "the saver said: $(cat "$work/saver.log")"
stop_saver
echo "ok: /s is full screen on both outputs, black with one curve on each, and says nothing"

start_saver /c
dialog_shown() { [ -n "$(loopster_windows)" ]; }
poll_until 10 dialog_shown || fail "/c showed no window"
running "$saver_pid" || fail "the dialog ended by itself"
[ ! -s "$work/saver.log" ] || fail "the dialog said: $(cat "$work/saver.log")"
stop_saver
echo "ok: /c shows the dialog and says nothing"

# Without Qt's Wayland plugins: the platforms folder replaced, in a private mount namespace, by a
# copy of it without them, as a system without qt6-wayland has it.
plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)
platforms="$plugins/platforms"
if unshare -m true 2>/dev/null; then
    mkdir -m 755 "$work/platforms"
    find "$platforms" -maxdepth 1 -name '*.so' ! -name '*wayland*' -exec cp {} "$work/platforms" \;
    for mode in /s /c; do
        code=0
        unshare -m -- sh -c 'mount --bind "$1" "$2" && shift 2 && exec "$@"' sh \
            "$work/platforms" "$platforms" \
            setpriv --reuid=nobody --regid=nogroup --clear-groups \
            env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" \
            WAYLAND_DISPLAY="$WAYLAND_NAME" "$work/bin/loopster" "$mode" \
            >"$work/saver.log" 2>&1 || code=$?
        [ "$code" -eq 1 ] || fail "$mode without the plugin ended with $code, not 1"
        [ "$(wc -l <"$work/saver.log")" -eq 1 ] &&
            grep -q '"wayland" platform plugin is not installed' "$work/saver.log" &&
            grep -q 'install the package qt6-wayland' "$work/saver.log" ||
            fail "$mode without the plugin said: $(cat "$work/saver.log")"
    done
    echo "ok: without the Wayland plugin /s and /c say: $(cat "$work/saver.log")"
else
    echo "skip: no private mount namespace here, so the Wayland plugin cannot be hidden"
fi
stop_sway

# --- Headless, one output of 1280x720 pixels at scale 2 (640x360 in the window's pixels), the
# saver held on one pattern and frame (LOOPSTER_TEST_PIN): the output, which grim takes at its full
# resolution, shows loopster-lab's picture of that frame at 1280x720 pixel for pixel. So the curve
# is mapped to the output's own pixels and a light pen inks single ones; drawn at the window's
# pixels and doubled, every inked pixel would lie in a 2x2 block of ink. Without sway's full
# redraw here, a tile the saver failed to mark damaged would show as well.
printf 'output HEADLESS-1 resolution 1280x720 scale 2\n' >"$work/sway.conf"
start_sway WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=1 WLR_LIBINPUT_NO_DEVICES=1
mkdir -p -m 755 "$work/home/.config/loopster"
printf '30\r\n1\r\n' >"$work/home/.config/loopster/tovren.txt"
chown -R nobody:nogroup "$work/home/.config"
"$lab" still --seed 4242.25 --frame 40 --size 1280x720 --out "$work/still.png" >/dev/null
convert "$work/still.png" -depth 8 "ppm:$work/still.ppm"
pin=4242.25:40 start_saver /s
output_is_still() {
    shoot_wayland "$work/shot.ppm" &&
        python3 "$private_xvfb_scripts/screenshot.py" same "$work/shot.ppm" "$work/still.ppm"
}
poll_until 15 output_is_still 2>/dev/null || output_is_still ||
    fail "the scale-2 output is not loopster-lab's picture of the pinned frame at 1280x720"
sleep 0.3
output_is_still || fail "the pinned frame on the scale-2 output changed while it was drawn again"
[ ! -s "$work/saver.log" ] || fail "the saver said: $(cat "$work/saver.log")"
stop_saver
rm -r "$work/home/.config"
stop_sway
echo "ok: a scale-2 output shows loopster-lab's 1280x720 picture of the pinned frame, pixel for pixel"

# --- Sway on its X11 backend, one 1024x768 output filling a private Xvfb, so that xdotool's
# pointer and keys reach it as a user's would.
start_private_xvfb 1024x768 "$work"
: >"$work/sway.conf"
start_sway WLR_BACKENDS=x11 WLR_X11_OUTPUTS=1 DISPLAY="$DISPLAY"
sway_window() { xwininfo -root -children | grep -q '^ *0x[0-9a-f]* .*1024x768+0+0'; }
poll_until 10 sway_window || fail "sway's X11 window did not appear"

x11_drawn() { shoot_wayland "$work/shot.ppm" && ink_in "$work/shot.ppm" 0 0 1024 768; }

# The pointer rests at 40,40 while the saver starts; curves keep clear of the corners.
xdotool mousemove 40 40
start_saver /s
poll_until 15 x11_drawn || fail "no curve on sway's X11 output"
sleep 0.5
shoot_wayland "$work/shot.ppm" cursor
black_share_at_least "$work/shot.ppm" 24 24 48 48 100 || fail "a pointer is drawn over the saver"
[ ! -s "$work/saver.log" ] || fail "the saver said: $(cat "$work/saver.log")"
echo "ok: no pointer is drawn over the saver, and the saver says nothing"

# Each way of ending it, on a saver that has drawn its first frames.
for input in "key space" "click 1" \
    "mousemove 300 300 sleep 0.2 mousemove 500 400 sleep 0.2 mousemove 700 500"; do
    if ! running "$saver_pid"; then
        xdotool mousemove 40 40
        start_saver /s
        poll_until 15 x11_drawn || fail "no curve before xdotool $input"
    fi
    # shellcheck disable=SC2086
    xdotool $input
    poll_until 5 ended "$saver_pid" || fail "xdotool $input did not end the saver"
    code=0
    wait "$saver_pid" || code=$?
    [ "$code" -eq 0 ] || fail "xdotool $input ended the saver with status $code"
    [ ! -s "$work/saver.log" ] || fail "the saver said: $(cat "$work/saver.log")"
    echo "ok: xdotool $input ends the saver with status 0"
done
stop_sway

echo "PASS"
