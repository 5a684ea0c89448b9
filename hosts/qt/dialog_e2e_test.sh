#!/usr/bin/env bash
# The settings dialog end to end, on a private Xvfb with a private home: `loopster /c` shows the
# dialog and creates the marker file; a click on OK saves the defaults and ends the process; Return
# (the focus starts on OK) saves what the dialog loaded and keeps the user's other files beside it;
# the close button, and the window destroyed by another client, save nothing. Then `loopster /s`
# runs at the saved rate with the saved line width.
set -euo pipefail

saver=${1:?usage: dialog_e2e_test.sh PATH_TO_LOOPSTER}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/e2e-lib.sh
. "$here/../../scripts/e2e-lib.sh"

begin_work
fail_logs=("$work/loopster.log")

use_private_home "$work"
start_private_xvfb 1024x768 "$work"

settings="$XDG_CONFIG_HOME/loopster/tovren.txt"
marker="$XDG_STATE_HOME/loopster/tovren.txt"

hex() { od -An -tx1 -v "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//' | tr a-f A-F; }

# The dialog's window, once it is mapped; prints its id.
dialog_window() {
    xdotool search --onlyvisible --name '^loopster configure$' 2>/dev/null | head -n 1
}
dialog_shown() { [ -n "$(dialog_window)" ]; }

# Starts `loopster /c` and waits for its dialog; sets program_pid and window.
start_dialog() {
    "$saver" /c 2>>"$work/loopster.log" &
    program_pid=$!
    pids+=("$program_pid")
    poll_until 10 dialog_shown || fail "no dialog within 10 s"
    window=$(dialog_window)
    # The window is mapped before Qt has painted it; a screenshot before then is blank.
    sleep 0.3
}

# Waits for the program to end and checks that it ended normally.
expect_end() {
    local what=$1
    poll_until 5 ended "$program_pid" || fail "$what did not end the program"
    local code=0
    wait "$program_pid" || code=$?
    [ "$code" -eq 0 ] || fail "$what: exit code $code"
}

# Asks the dialog to close the way a window manager's close button does: a WM_DELETE_WINDOW
# message sent straight to the window (there is no window manager on this display).
close_window() {
    python3 - "$1" <<'PY'
import ctypes, sys

class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]

class Event(ctypes.Union):
    _fields_ = [("client", ClientMessage), ("pad", ctypes.c_long * 24)]

x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                           ctypes.POINTER(Event)]
x11.XFlush.argtypes = [ctypes.c_void_p]
x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

display = x11.XOpenDisplay(None)
if not display:
    sys.exit("cannot open the display")
window = int(sys.argv[1])
event = Event()
event.client.type = 33  # ClientMessage
event.client.window = window
event.client.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
event.client.format = 32
event.client.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
event.client.data[1] = 0  # CurrentTime
x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
x11.XFlush(display)
x11.XCloseDisplay(display)
PY
}

# Prints how many distinct colours the picture has; a blank window has one or two.
colour_count() {
    convert "$1" -format '%k' info:
}

# --- The first start: a click on OK saves the defaults.

start_dialog
import -window "$window" "$work/dialog.png" 2>/dev/null || fail "no screenshot of the dialog"
colours=$(colour_count "$work/dialog.png")
[ "$colours" -ge 8 ] || fail "the dialog looks blank ($colours colours)"
echo "ok: loopster /c shows the dialog ($colours colours)"

[ "$(stat -c %s "$marker" 2>/dev/null)" = 31 ] || fail "the marker file is missing or not 31 bytes"
echo "ok: the marker file holds 31 bytes"
[ ! -e "$settings" ] || fail "showing the dialog wrote the settings file"

# The OK button's place comes from the dialog's twip table (840, 2400, 735 x 375 in a client area
# 2430 twips wide), scaled the way the dialog scales it: by the client width in pixels.
eval "$(xdotool getwindowgeometry --shell "$window")"
ok_x=$(((840 + 735 / 2) * WIDTH / 2430))
ok_y=$(((2400 + 375 / 2) * WIDTH / 2430))
xdotool mousemove --window "$window" --sync "$ok_x" "$ok_y" click 1
expect_end "a click on OK"
[ "$(hex "$settings")" = "33 30 0D 0A 31 0D 0A" ] ||
    fail "OK saved $(hex "$settings"), not the defaults"
echo "ok: a click on OK at $ok_x,$ok_y saves 33 30 0D 0A 31 0D 0A and ends the process"

# --- Return with the focus on OK saves what the dialog loaded, in the program's own form.

printf '10\n2\n' >"$settings"
touch -d '2001-01-01' "$marker"
marker_time=$(stat -c %Y "$marker")
# The user's own old files beside the settings, and what a save killed before its rename left (its
# process has ended): only the latter may go.
folder=$(dirname "$settings")
for name in tovren.txt.backup tovren.txt.BACKUP tovren.txt.orig01 tovren.txt.before; do
    echo keep >"$folder/$name"
    touch -d '1 min ago' "$folder/$name"
done
sh -c 'exit 0' &
gone_pid=$!
wait "$gone_pid"
orphan="$folder/.tovren.txt.loopster-save.$gone_pid.Ab12Cd"
printf '99\r\n1\r\n' >"$orphan"
start_dialog
# Real key presses go to the window with the input focus, which the dialog takes when it shows.
xdotool windowfocus --sync "$window" key Return
expect_end "Return"
[ "$(hex "$settings")" = "31 30 0D 0A 32 0D 0A" ] ||
    fail "Return saved $(hex "$settings"), not 10 and heavy"
[ "$(stat -c %Y "$marker")" = "$marker_time" ] || fail "a later start touched the marker file"
echo "ok: Return saves the loaded 10 and heavy as 31 30 0D 0A 32 0D 0A; the marker stays untouched"
for name in tovren.txt.backup tovren.txt.BACKUP tovren.txt.orig01 tovren.txt.before; do
    [ "$(cat "$folder/$name" 2>/dev/null)" = keep ] || fail "the save removed the user's $name"
    rm "$folder/$name"
done
[ ! -e "$orphan" ] || fail "the save left a killed save's temporary file behind"
echo "ok: the save keeps the user's tovren.txt.backup and the like, and clears a killed save's file"

# --- The close button saves nothing and ends the process.

# --- A settings file made read-only is the user's to keep: OK says so over the dialog, which stays
# open, and the file keeps its bytes, its mode and its inode. A folder in the file's place is named
# as soon as the dialog opens.
message_shown() {
    [ "$(xdotool search --onlyvisible --name '^loopster configure$' 2>/dev/null | wc -l)" -ge 2 ]
}
chmod a-w "$settings"
kept="$(hex "$settings") $(stat -c '%a %i' "$settings")"
start_dialog
message_shown && fail "the dialog opened with a message over a readable file"
xdotool windowfocus --sync "$window" key Return
poll_until 5 message_shown || fail "OK on a read-only settings file showed no message"
running "$program_pid" || fail "OK on a read-only settings file ended the dialog"
[ "$(hex "$settings") $(stat -c '%a %i' "$settings")" = "$kept" ] ||
    fail "OK replaced the read-only settings file: $(hex "$settings") $(stat -c '%a %i' "$settings")"
kill "$program_pid"
wait "$program_pid" 2>/dev/null || true
chmod u+w "$settings"
echo "ok: OK on a read-only settings file refuses over an open dialog and leaves it as it is"
mv "$settings" "$work/settings.txt"
mkdir "$settings"
start_dialog
poll_until 5 message_shown || fail "a folder in the settings file's place was not named"
kill "$program_pid"
wait "$program_pid" 2>/dev/null || true
rmdir "$settings"
mv "$work/settings.txt" "$settings"
echo "ok: a folder in the settings file's place is named when the dialog opens"

saved=$(hex "$settings")
cp -p "$settings" "$work/before.txt"
start_dialog
# Moves the thumb one step, so that a save would show.
xdotool windowfocus --sync "$window" key Tab Right
sleep 0.2
close_window "$window"
expect_end "the close button"
[ "$(hex "$settings")" = "$saved" ] || fail "the close button changed the settings file"
[ "$(stat -c %y "$settings")" = "$(stat -c %y "$work/before.txt")" ] ||
    fail "the close button rewrote the settings file"
[ "$(find "$XDG_CONFIG_HOME/loopster" -type f | wc -l)" -eq 1 ] ||
    fail "the close button left files beside the settings: $(ls -A "$XDG_CONFIG_HOME/loopster")"
echo "ok: the close button ends the process and writes nothing"

# --- The window destroyed by another client ends the program like the close button, so that the
# instance lock is free for the next start.

start_dialog
xdotool windowfocus --sync "$window" key Tab Right
sleep 0.2
xdotool windowclose "$window"
expect_end "the window destroyed from outside"
[ "$(hex "$settings")" = "$saved" ] || fail "the destroyed window changed the settings file"
echo "ok: the window destroyed from outside ends the process and writes nothing"

# --- The saver runs at the saved 10 frames per second with 2-pixel lines.

LOOPSTER_TIMING_LOG=1 "$saver" /s 2>>"$work/loopster.log" &
program_pid=$!
pids+=("$program_pid")
poll_until 10 centre_has_ink "$work/shot.ppm" || fail "the saver drew nothing within 10 s"
sleep 2
import -window root -depth 8 "ppm:$work/shot.ppm"
xdotool key space
expect_end "a key in the saver"

# The median interval between frames drawn, in ms. It tells the saved rate of 10 (100 ms) from
# the default 30 (33 ms) and the lowest 5 (200 ms); the median, not the mean, and a wide band, so
# that a busy machine's late frames do not make the saved rate look wrong.
interval=$(awk '$1 == "loopster-timing" && $2 == "drawn" { print $3 }' "$work/loopster.log" |
    awk 'NR > 1 { print ($1 - last) / 1e6 } { last = $1 }' | sort -n |
    awk '{ v[NR] = $1 } END { if (NR >= 2) printf "%.1f", v[int((NR + 1) / 2)] }')
[ -n "$interval" ] || fail "the saver logged fewer than three frames"
awk -v ms="$interval" 'BEGIN { exit !(ms >= 90 && ms <= 150) }' ||
    fail "the saver drew a frame every $interval ms, not every 100 ms"
echo "ok: the saver draws a frame every $interval ms at the saved rate of 10"

# A line one pixel wide has no pixel with an inked neighbour on both axes except where it crosses
# itself; a line two pixels wide has almost nothing else. Prints the share of inked pixels that do.
python3 "$private_xvfb_scripts/screenshot.py" thickness "$work/shot.ppm" >"$work/thick.txt"
thick=$(cat "$work/thick.txt")
awk -v share="$thick" 'BEGIN { exit !(share >= 0.8) }' ||
    fail "only $thick of the inked pixels belong to a 2-pixel line"
echo "ok: the saver draws heavy lines ($thick of the inked pixels have neighbours both ways)"

echo "PASS"
