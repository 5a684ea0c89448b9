#!/usr/bin/env bash
# Runs loopster.scr under Wine as the screen-saver mechanism would (the shipped i686 build, or the
# x86_64 one where this machine cannot execute 32-bit code: see wine_machine.sh), on a fresh
# prefix and a private Xvfb display, and checks what a user sees and what lands on the disk:
#   - every switch other than /s and /c ends at once and touches no file;
#   - /c shows the dialog, writes the marker file on the first load only, follows a click on the
#     scroll bar's right arrow, saves exactly "31", CR LF, "1", CR LF on OK, shows a dragged value
#     only when the thumb is released, ends without saving on the close command, starts with the
#     focus on OK and tabs to the bar and the line-width group, and keeps the dialog open with a
#     message when the save fails; a settings file another program holds is named when the
#     dialog opens, and OK leaves its bytes as they are;
#   - /s parks the pointer in the bottom-right corner and covers the screen with a curve on black;
#     a second /s ends at once while the first runs; a key, a click, the wheel and pointer movement
#     end it, and the pointer is back where it was;
#   - the marker's beep (MessageBeep, counted through Wine's relay log) sounds at most once over
#     three starts, and not at all when the marker is hidden or cannot be created.
# Screenshots are kept in WORKDIR (saver.png, dialog.png, dialog-31.png, save-error.png).
#
# Usage: wine_end_to_end.sh SCR WORKDIR   (WORKDIR is deleted and created again)
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 SCR WORKDIR" >&2
    exit 2
fi
scr=$1
workdir=$2
# shellcheck source=wine_machine.sh
. "$(dirname "$0")/wine_machine.sh"
# shellcheck source=../../../scripts/e2e-lib.sh
. "$(dirname "$0")/../../../scripts/e2e-lib.sh"
skip_unless_runnable_here "$scr"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
for tool in "$wine" "$wineserver"; do
    [ -x "$tool" ] || { echo "missing $tool (Debian package wine64)" >&2; exit 2; }
done
for tool in Xvfb xdotool import convert compare od; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
done

rm -rf "$workdir"
mkdir -p "$workdir"
workdir=$(cd "$workdir" && pwd)
prefix=$workdir/prefix
settings=$prefix/drive_c/temp/tovren.txt
marker=$prefix/drive_c/windows/temp/tovren.txt
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
began=$(date +%s%N)

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
note() { echo "  $*"; }
elapsed_ms() { echo $((($(date +%s%N) - $1) / 1000000)); }

# Stopping the wine server ends every Wine process of the prefix; then this shell's own
# background jobs that are still running (Xvfb, a saver that did not end) are stopped by their ids.
cleanup() {
    local pid
    "$wineserver" -k 2>/dev/null || true
    for pid in $(jobs -p); do
        kill "$pid" 2>/dev/null || true
    done
}
trap cleanup EXIT

# The screen is 1024 x 768 at Wine's default 96 dots per inch: 15 twips to the pixel. Without -br
# the root window shows X's grey weave, so a black screenshot proves that the saver covers it.
start_private_xvfb 1024x768 "$workdir"

# One persistent wine server for every run below, stopped by the cleanup.
mkdir -p "$prefix"
"$wineserver" -p
"$wine" wineboot -i >/dev/null 2>&1 || true
# Wine manages its windows itself without a window manager; otherwise each window close waits 2 s.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
cp "$scr" "$prefix/drive_c/loopster.scr"
# Debian's Wine does not find the fonts of its fonts-wine package by itself: without Tahoma (the
# dialog font) and Marlett (the caption buttons' glyphs) the screenshots show substitutes.
for font in tahoma.ttf tahomabd.ttf marlett.ttf; do
    if [ -f "/usr/share/wine/fonts/$font" ]; then
        cp "/usr/share/wine/fonts/$font" "$prefix/drive_c/windows/Fonts/"
    fi
done
# The first program after wineboot waits for its background set-up to finish; do it here, so the
# timings below are the saver's own.
"$wine" cmd /c exit >/dev/null 2>&1 || true
echo "fresh prefix ready in $(elapsed_ms "$began") ms"

last_pid=
start_saver() {
    "$wine" 'C:\loopster.scr' "$@" >/dev/null 2>&1 &
    last_pid=$!
}

# Waits up to $2 seconds for process $1 to end; on success its exit code is in $exit_code.
exit_code=
wait_exit() {
    local pid=$1 limit=$(($2 * 20)) i
    for ((i = 0; i < limit; i++)); do
        if ! kill -0 "$pid" 2>/dev/null; then
            exit_code=0
            wait "$pid" || exit_code=$?
            return 0
        fi
        sleep 0.05
    done
    return 1
}


# Waits up to 15 s for a visible window matching xdotool search options; prints its id.
wait_window() {
    local i found
    for ((i = 0; i < 300; i++)); do
        if found=$(xdotool search --onlyvisible "$@" 2>/dev/null); then
            head -n 1 <<<"$found"
            return 0
        fi
        sleep 0.05
    done
    return 1
}

hex_of() { od -An -v -tx1 "$1" | tr -d ' \n'; }

# Pixels of an image (optionally cropped to a geometry) that are not pure black.
non_black() {
    local image=$1 crop=${2:-}
    if [ -n "$crop" ]; then
        convert "$image" -crop "$crop" +repage -fill white +opaque black -format '%[fx:round(mean*w*h)]' info:
    else
        convert "$image" -fill white +opaque black -format '%[fx:round(mean*w*h)]' info:
    fi
}

pointer() { xdotool getmouselocation | sed 's/^x:\([0-9]*\) y:\([0-9]*\).*/\1,\2/'; }

echo "switches that end at once"
if [ -e "$settings" ] || [ -e "$marker" ]; then
    fail "the fresh prefix already has a settings or marker file"
fi
touch "$workdir/stamp"
for arguments in "" "/p 1234" "/a" "/S"; do
    t=$(date +%s%N)
    # Word splitting is wanted: "/p 1234" is two arguments on the command line.
    # shellcheck disable=SC2086
    start_saver $arguments
    if wait_exit "$last_pid" 10; then
        note "'$arguments' ended in $(elapsed_ms "$t") ms with code $exit_code"
        [ "$exit_code" -eq 0 ] || fail "'$arguments' ended with code $exit_code"
    else
        fail "'$arguments' is still running after 10 s"
    fi
done
touched=$(find "$prefix/drive_c" -newer "$workdir/stamp" -print)
[ -z "$touched" ] || fail "files touched by switches that end at once: $touched"

# The dialog's client area is 2430 x 2820 twips; positions below are the controls' twips / 15.
client_width=162
client_height=188

# Locates the dialog's client area from its window: the frame is as wide left, right and below,
# and the caption takes the rest of the top.
locate_client() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    client_x=$((X + (WIDTH - client_width) / 2))
    client_y=$((Y + HEIGHT - client_height - (WIDTH - client_width) / 2))
}

# The pixels of Text1 (left 1800, top 1080, width 495, height 285) on the screen.
text1_shot() {
    import -window root -crop "33x19+$((client_x + 120))+$((client_y + 72))" "$1"
}

echo "/c: first start"
start_saver /c
dialog_pid=$last_pid
if window=$(wait_window --name '^loopster configure$'); then
    locate_client "$window"
    note "dialog at $X,$Y, ${WIDTH}x$HEIGHT, client area from $client_x,$client_y"
    [ "$(hex_of "$marker")" = "$(printf '"created by settings control"\r\n' | od -An -v -tx1 | tr -d ' \n')" ] ||
        fail "marker file is not the 31 bytes of the quoted line: $(hex_of "$marker")"
    [ ! -e "$settings" ] || fail "the settings file exists before OK"
    crop=$((WIDTH + 40))x$((HEIGHT + 40))+$((X - 20))+$((Y - 20))
    # Dark text on a light face: a blank or black window fails. Looked at until it is painted.
    for _ in $(seq 10); do
        sleep 0.3
        import -window root "$workdir/screen-dialog.png"
        convert "$workdir/screen-dialog.png" -crop "$crop" +repage "$workdir/dialog.png"
        dark=$(convert "$workdir/dialog.png" -colorspace Gray -threshold 40% -negate \
            -format '%[fx:mean]' info:)
        awk -v d="$dark" 'BEGIN { exit !(d > 0.01 && d < 0.6) }' && break
    done
    awk -v d="$dark" 'BEGIN { exit !(d > 0.01 && d < 0.6) }' ||
        fail "the dialog screenshot does not look like a dialog (dark share $dark)"

    # HScroll1: left 120, top 1080, width 1575, height 255; its right arrow is the last 17 pixels.
    xdotool mousemove $((client_x + 8 + 105 - 8)) $((client_y + 72 + 8)) click 1
    sleep 0.5
    import -window root "$workdir/screen-dialog-31.png"
    convert "$workdir/screen-dialog-31.png" -crop "$crop" +repage "$workdir/dialog-31.png"
    # Command1 (OK): left 840, top 2400, width 735, height 375.
    xdotool mousemove $((client_x + 56 + 24)) $((client_y + 160 + 12)) click 1
    if wait_exit "$dialog_pid" 10; then
        [ "$exit_code" -eq 0 ] || fail "/c ended with code $exit_code after OK"
    else
        fail "/c is still running 10 s after OK"
    fi
    if [ -f "$settings" ]; then
        [ "$(hex_of "$settings")" = "33310d0a310d0a" ] ||
            fail "OK after one arrow click saved $(hex_of "$settings"), expected 33310d0a310d0a"
    else
        fail "OK did not write $settings"
    fi
else
    fail "the settings dialog did not appear"
fi

echo "/c: second start, a dragged thumb, closed without saving"
# An empty marker with an old time shows whether the second load leaves it alone.
: >"$marker"
touch -d '2001-01-01 00:00:00' "$marker" "$settings" 2>/dev/null || true
marker_time=$(stat -c %Y "$marker")
settings_before=$(hex_of "$settings" 2>/dev/null || true)
start_saver /c
dialog_pid=$last_pid
if window=$(wait_window --name '^loopster configure$'); then
    locate_client "$window"
    sleep 0.3
    text1_shot "$workdir/text1-before.png"
    # The thumb of a bar 105 pixels long with 17-pixel arrows and a 17-pixel thumb, at 31 of 5..100.
    thumb_x=$((client_x + 8 + 17 + (31 - 5) * (105 - 3 * 17) / 95 + 8))
    thumb_y=$((client_y + 72 + 8))
    xdotool mousemove "$thumb_x" "$thumb_y" mousedown 1
    for step in 1 2 3 4; do
        xdotool mousemove $((thumb_x + step * 8)) "$thumb_y"
        sleep 0.1
    done
    sleep 0.3
    text1_shot "$workdir/text1-dragging.png"
    xdotool mouseup 1
    changed() { compare -metric AE "$workdir/text1-before.png" "$1" null: 2>&1 || true; }
    while_dragging=$(changed "$workdir/text1-dragging.png")
    for _ in $(seq 10); do
        sleep 0.3
        text1_shot "$workdir/text1-released.png"
        after_release=$(changed "$workdir/text1-released.png")
        [ "$after_release" = "0" ] || break
    done
    note "Text1 pixels changed: $while_dragging while dragging, $after_release after the release"
    [ "$while_dragging" = "0" ] || fail "Text1 followed the thumb while it was dragged"
    [ "$after_release" != "0" ] || fail "Text1 did not follow the thumb when it was released"
    xdotool key --clearmodifiers alt+F4
    if wait_exit "$dialog_pid" 10; then
        [ "$exit_code" -eq 0 ] || fail "/c ended with code $exit_code after closing"
    else
        fail "/c is still running 10 s after the close command"
    fi
else
    fail "the settings dialog did not appear on the second start"
fi
if ! [ -f "$marker" ] || [ -s "$marker" ] || [ "$(stat -c %Y "$marker")" != "$marker_time" ]; then
    fail "the second start rewrote the marker file"
fi
[ "$(hex_of "$settings" 2>/dev/null || true)" = "$settings_before" ] ||
    fail "closing the dialog changed the settings file"

echo "/c: keyboard: focus on OK, then the scroll bar, then the line-width group"
start_saver /c
dialog_pid=$last_pid
if window=$(wait_window --name '^loopster configure$'); then
    sleep 0.3
    # Tab to the bar and step it up, Tab past the display-only Text1 to the selected option, Down
    # to heavy, Tab round to OK, and Space presses the focused button.
    xdotool key Tab Right Tab Down Tab space
    if wait_exit "$dialog_pid" 10; then
        [ "$(hex_of "$settings")" = "33320d0a320d0a" ] ||
            fail "the keyboard walk saved $(hex_of "$settings"), expected 33320d0a320d0a (32, heavy)"
    else
        fail "the keyboard walk did not end with OK"
    fi
else
    fail "the settings dialog did not appear for the keyboard walk"
fi

echo "/c: a save that fails keeps the dialog"
# A plain file where the folder should be: neither the folder nor the file can be made.
mv "$prefix/drive_c/temp" "$workdir/temp-saved"
: >"$prefix/drive_c/temp"
start_saver /c
dialog_pid=$last_pid
if window=$(wait_window --name '^loopster configure$'); then
    locate_client "$window"
    sleep 0.3
    xdotool mousemove $((client_x + 80)) $((client_y + 172)) click 1
    if box=$(wait_window --name '^loopster$'); then
        sleep 0.3
        import -window root "$workdir/screen-save-error.png"
        eval "$(xdotool getwindowgeometry --shell "$box")"
        convert "$workdir/screen-save-error.png" -crop "${WIDTH}x$HEIGHT+$X+$Y" +repage \
            "$workdir/save-error.png"
        xdotool key Return
        sleep 0.5
        running "$dialog_pid" || fail "the failed save ended the process"
        xdotool search --onlyvisible --name '^loopster configure$' >/dev/null ||
            fail "the dialog is gone after the failed save"
        xdotool key --clearmodifiers alt+F4
    else
        fail "no message appeared for the failed save"
    fi
    wait_exit "$dialog_pid" 10 || fail "/c is still running after the failed save and closing"
else
    fail "the settings dialog did not appear with c:\\temp blocked"
fi
rm -f "$prefix/drive_c/temp"
mv "$workdir/temp-saved" "$prefix/drive_c/temp"

echo "/c: a settings file held by another program is named and never replaced"
# 77 fps, heavy, held open without sharing: the dialog says it could not be read, and OK leaves the
# user's bytes alone, also once the other program has let go.
cp -p "$settings" "$workdir/settings-saved"
printf '77\r\n2\r\n' >"$settings"
user_bytes=$(hex_of "$settings")
"$wine" "$(dirname "$scr")/hold_file.exe" 'C:\temp\tovren.txt' 60 >"$workdir/hold.txt" 2>&1 &
holder_pid=$!
for _ in $(seq 100); do
    grep -q held "$workdir/hold.txt" 2>/dev/null && break
    sleep 0.1
done
grep -q held "$workdir/hold.txt" || fail "the helper could not hold the settings file: $(cat "$workdir/hold.txt")"
start_saver /c
dialog_pid=$last_pid
if wait_window --name '^loopster$' >/dev/null; then
    xdotool key Return
    sleep 0.5
    window=$(wait_window --name '^loopster configure$') || fail "no dialog behind the message"
    locate_client "$window"
    kill "$holder_pid" 2>/dev/null || true
    wait "$holder_pid" 2>/dev/null || true
    xdotool mousemove $((client_x + 80)) $((client_y + 172)) click 1
    if wait_window --name '^loopster$' >/dev/null; then
        xdotool key Return
        sleep 0.5
        running "$dialog_pid" || fail "OK over an unread settings file ended the dialog"
    else
        fail "OK over an unread settings file said nothing"
    fi
    xdotool key --clearmodifiers alt+F4
    wait_exit "$dialog_pid" 10 || fail "/c is still running after closing"
else
    fail "the dialog did not say that the held settings file could not be read"
fi
kill "$holder_pid" 2>/dev/null || true
[ "$(hex_of "$settings")" = "$user_bytes" ] ||
    fail "the held settings file became $(hex_of "$settings"), not the user's $user_bytes"
cp -p "$workdir/settings-saved" "$settings"

echo "/s: picture, pointer, second instance, key"
xdotool mousemove 300 200
start_saver /s
saver_pid=$last_pid
if saver_window=$(wait_window --classname '^loopster\.scr$'); then
    [ "$(pointer)" = "1023,767" ] || fail "pointer at $(pointer), expected the bottom-right corner 1023,767"
    # A pattern can start with a small or empty curve: look a few times.
    for attempt in 1 2 3 4 5 6; do
        sleep 0.5
        import -window root "$workdir/saver.png"
        lit=$(non_black "$workdir/saver.png")
        centre=$(non_black "$workdir/saver.png" 820x614+102+77)
        [ "$centre" -ge 200 ] && break
    done
    note "$lit lit pixels, $centre of them in the centre, after $attempt look(s)"
    [ "$lit" -le $((1024 * 768 / 10)) ] || fail "the saver does not cover the screen in black ($lit lit pixels)"
    [ "$centre" -ge 200 ] || fail "no curve near the centre of the screen ($centre lit pixels)"

    t=$(date +%s%N)
    start_saver /s
    if wait_exit "$last_pid" 10; then
        note "second /s ended in $(elapsed_ms "$t") ms with code $exit_code"
    else
        fail "a second /s is still running after 10 s"
    fi
    running "$saver_pid" || fail "the first /s ended when the second started"

    # Keys go to the X input focus, which Wine moves to the saver when it activates it.
    for _ in $(seq 50); do
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "$saver_window" ] && break
        sleep 0.1
    done
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$saver_window" ] || fail "the saver window has no keyboard focus"
    xdotool key shift
    wait_exit "$saver_pid" 5 || fail "/s is still running 5 s after a key press"
    [ "$(pointer)" = "300,200" ] || fail "pointer at $(pointer) after the saver, expected back at 300,200"
else
    fail "the saver window did not appear"
fi

# Starts /s and, once its window is up, ends it with the xdotool command given; fails when the
# saver is still running 5 s later (and ends it with a key), or when no window appeared.
end_saver_with() {
    local what=$1
    shift
    start_saver /s
    saver_pid=$last_pid
    if wait_window --classname '^loopster\.scr$' >/dev/null; then
        sleep 0.3
        xdotool "$@"
        if ! wait_exit "$saver_pid" 5; then
            fail "/s is still running 5 s after $what"
            xdotool key shift
            wait_exit "$saver_pid" 5 || true
        fi
    else
        fail "the saver window did not appear"
    fi
}

# At the parked position, so that no pointer movement comes first.
echo "/s: click"
end_saver_with "a click" click 1

# Buttons 4 and 5 are the wheel's turns in X; Wine makes them WM_MOUSEWHEEL.
echo "/s: the mouse wheel"
end_saver_with "a turn of the wheel" click 5

echo "/s: pointer movement"
start_saver /s
saver_pid=$last_pid
if wait_window --classname '^loopster\.scr$' >/dev/null; then
    sleep 0.3
    # The window also receives a move event when it appears under the pointer, so the saver may
    # end at the second movement here; the first is always ignored and the third always ends it.
    ended_at=
    for move in 1 2 3; do
        xdotool mousemove $((400 + move * 20)) 300
        if wait_exit "$saver_pid" 1; then
            ended_at=$move
            break
        fi
    done
    if [ -z "$ended_at" ]; then
        fail "/s is still running after three pointer movements"
    elif [ "$ended_at" -eq 1 ]; then
        fail "/s ended at the first pointer movement"
    else
        note "ended at pointer movement $ended_at"
    fi
else
    fail "the saver window did not appear"
fi
if [ -s "$marker" ] || [ "$(stat -c %Y "$marker")" != "$marker_time" ]; then
    fail "a saver run rewrote the marker file"
fi
[ "$(hex_of "$settings")" = "33320d0a320d0a" ] || fail "a saver run changed the settings file"

echo "the marker's beep"
# Wine's relay log, cut down to MessageBeep, shows each beep as one call line on stderr.
"$wine" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d user32.MessageBeep /f >/dev/null 2>&1
# Starts /s three times, each ended by a click; prints how many beeps they made.
beeps_over_three_starts() {
    local log=$workdir/relay-$1.log start pid
    : >"$log"
    for start in 1 2 3; do
        WINEDEBUG=+relay "$wine" 'C:\loopster.scr' /s >/dev/null 2>>"$log" &
        pid=$!
        if wait_window --classname '^loopster\.scr$' >/dev/null; then
            sleep 0.3
            xdotool click 1
        fi
        wait_exit "$pid" 10 || fail "$1: start $start did not end on a click"
    done
    grep -c 'Call user32\.MessageBeep' "$log" || true
}
rm -rf "$marker"
beeps=$(beeps_over_three_starts creatable)
note "a marker to create: $beeps beep(s) over three starts"
[ "$beeps" -eq 1 ] && [ -f "$marker" ] || fail "a marker to create: $beeps beep(s), expected 1 with the marker made"
# Hidden: the lookup skips it, and creating it again fails.
"$wine" cmd /c attrib +h 'C:\windows\temp\tovren.txt' >/dev/null 2>&1
beeps=$(beeps_over_three_starts hidden)
note "a hidden marker: $beeps beep(s) over three starts"
[ "$beeps" -eq 0 ] || fail "a hidden marker: $beeps beep(s) over three starts, expected none"
# A folder in the marker's place: the lookup finds no file and nothing can be created there.
rm -f "$marker"
mkdir "$marker"
beeps=$(beeps_over_three_starts uncreatable)
note "a marker that cannot be created: $beeps beep(s) over three starts"
[ "$beeps" -eq 0 ] || fail "a marker that cannot be created: $beeps beep(s) over three starts, expected none"
rmdir "$marker"

echo "wine end-to-end: $(elapsed_ms "$began") ms, $failures failure(s)"
[ "$failures" -eq 0 ]
