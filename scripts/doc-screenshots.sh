#!/usr/bin/env bash
# Takes the Linux pictures for the documentation from a build folder:
#
#   scripts/doc-screenshots.sh build/linux-release
#
# writes docs/images/linux-dialog.png (the settings dialog, drawn at twice the size so that its
# text stays sharp) and docs/images/linux-saver.png (the saver a few seconds in, on a 960x540
# screen). Both run on a private Xvfb with a private home. When openbox is installed it
# manages the dialog, so that the picture shows the title bar with the dialog's caption.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=e2e-lib.sh
. "$here/e2e-lib.sh"

build=${1:?usage: doc-screenshots.sh BUILD_DIR}
saver="$build/hosts/qt/loopster"
images="$here/../docs/images"
if [ ! -x "$saver" ]; then
    echo "error: $saver is missing; build first" >&2
    exit 1
fi

begin_work

# The usual folders under the private home, so that the dialog's notice reads "~/.config/...".
use_private_home "$work"
export XDG_CONFIG_HOME="$HOME/.config" XDG_STATE_HOME="$HOME/.local/state"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_STATE_HOME"
start_private_xvfb 1920x1080 "$work"
mkdir -p "$images"

if command -v openbox >/dev/null; then
    openbox --sm-disable 2>/dev/null &
    pids+=("$!")
    sleep 1
fi

dialog_window() {
    xdotool search --onlyvisible --name '^loopster configure$' 2>/dev/null | head -n 1
}
dialog_shown() { [ -n "$(dialog_window)" ]; }

QT_SCALE_FACTOR=2 "$saver" /c 2>/dev/null &
pids+=("$!")
poll_until 10 dialog_shown || {
    echo "error: no dialog within 10 s" >&2
    exit 1
}
sleep 1
window=$(dialog_window)
# The window with its frame (when a window manager gave it one) and a few pixels around it.
# xwininfo's absolute position: xdotool's counts the frame twice under a reparenting manager.
eval "$(xwininfo -id "$window" | awk '
    /Absolute upper-left X/ { print "X=" $NF } /Absolute upper-left Y/ { print "Y=" $NF }
    /Width:/ { print "WIDTH=" $NF } /Height:/ { print "HEIGHT=" $NF }')"
# Left, right, top and bottom frame widths; none without a window manager.
read -r left right top bottom < <(xprop -id "$window" _NET_FRAME_EXTENTS 2>/dev/null |
    awk -F '= ' '/=/ { gsub(/,/, ""); print $2 }' || true)
left=${left:-0} right=${right:-0} top=${top:-0} bottom=${bottom:-0}
pad=8
crop="$((WIDTH + left + right + 2 * pad))x$((HEIGHT + top + bottom + 2 * pad))"
crop="$crop+$((X - left - pad))+$((Y - top - pad))"
import -window root -crop "$crop" +repage -strip "$images/linux-dialog.png"
xdotool key --clearmodifiers Return || true
echo "wrote $images/linux-dialog.png"

# The saver on a screen of its own, 960x540, so the picture shows its pixels as they are.
stop_private_xvfb
start_private_xvfb 960x540 "$work"
"$saver" /s 2>/dev/null &
saver_pid=$!
pids+=("$saver_pid")
poll_until 10 centre_has_ink "$work/shot.ppm" || {
    echo "error: the saver drew nothing within 10 s" >&2
    exit 1
}
# A few seconds in, so the picture is not always the first frame of a pattern.
sleep 3
import -window root -strip "$images/linux-saver.png"
xdotool key space
echo "wrote $images/linux-saver.png"
