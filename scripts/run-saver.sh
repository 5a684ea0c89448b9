#!/usr/bin/env bash
# Starts the saver from a build folder: `scripts/run-saver.sh build/linux-release`. On a reachable
# display it runs there until a key or the mouse ends it. Without one it runs on a private virtual
# screen for a few seconds, saves a screenshot to build/screenshot.png and ends it with a key, and
# loopster-lab leaves a few seconds of the saver's animation beside it in build/animation.webp.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=e2e-lib.sh
. "$here/e2e-lib.sh"

build=${1:?usage: run-saver.sh BUILD_DIR}
saver="$build/hosts/qt/loopster"
if [ ! -x "$saver" ]; then
    echo "error: $saver is missing; build first (make run does)" >&2
    exit 1
fi

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    echo "Running the saver on $DISPLAY; any key or mouse movement ends it."
    exec "$saver" /s
fi

begin_work
saver_pid=

echo "No display reachable: starting a virtual one."
start_private_xvfb 1280x720 "$work"
"$saver" /s &
saver_pid=$!
if ! poll_until 10 centre_has_ink "$work/shot.ppm"; then
    echo "error: the saver drew nothing within 10 s" >&2
    exit 1
fi
# Let a few seconds of animation pass, so the picture is not always the first frame.
sleep 3
screenshot="$(dirname "$build")/screenshot.png"
import -window root "$screenshot"
xdotool key space
if ! poll_until 5 eval '! kill -0 "$saver_pid" 2>/dev/null'; then
    echo "error: the saver did not end on a key press" >&2
    exit 1
fi
wait "$saver_pid" || true
saver_pid=
echo "The saver ran on a virtual screen; its picture is in $screenshot"

# Seeded like the saver, from the seconds since midnight (UTC here), so each run shows other
# patterns.
lab="$build/tools/loopster-lab"
if [ -x "$lab" ]; then
    animation="$(dirname "$build")/animation.webp"
    seed=$(( $(date +%s) % 86400 ))
    "$lab" animate --seed "$seed" --seconds 4 --size 640x360 --out "$animation" >/dev/null
    echo "Four seconds of its animation (seed $seed) are in $animation"
fi
