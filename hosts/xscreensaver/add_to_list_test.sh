#!/usr/bin/env bash
# loopster-xscreensaver-add on a fresh home and on a file that xscreensaver-settings wrote: a fresh
# home gets the daemon's own default list (from the installed xscreensaver) with one line for
# loopster, which the real daemon then runs; an existing file differs from before by that one
# line alone, a backup keeps it as it was, a second run changes nothing, and nothing at all is
# changed while xscreensaver-settings runs.
set -euo pipefail

add=${1:?usage: add_to_list_test.sh PATH_TO_loopster-xscreensaver-add PATH_TO_HACK}
hack=${2:?usage: add_to_list_test.sh PATH_TO_loopster-xscreensaver-add PATH_TO_HACK}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/e2e-lib.sh
. "$here/../../scripts/e2e-lib.sh"

# The daemon runs as nobody, who must reach the folder.
begin_work shared
fail_logs=("$work/daemon.log")
# Run from a folder of its own: beside an installed hack (a prefix's libexec/xscreensaver), it would
# name that hack by its full path.
mkdir -m 755 "$work/bin"
install -m 755 "$add" "$work/bin/loopster-xscreensaver-add"
add="$work/bin/loopster-xscreensaver-add"
# The command and the stand-in for xscreensaver-settings run as a user id of this test's own, so
# that no other test's or person's xscreensaver-settings running meanwhile is taken for it.
tester=$((40000 + $$ % 20000))
as_tester() {
    local home=$1
    shift
    setpriv --reuid="$tester" --regid="$tester" --clear-groups env HOME="$home" "$@"
}

# The daemon's defaults, as the command must find them.
defaults=/etc/X11/app-defaults/XScreenSaver
default_list() { awk '/^\*programs:/ { on = 1; sub(/^\*/, "") } on { print; if ($0 !~ /\\$/) exit }' "$defaults"; }

# --- A fresh home: the default list and loopster, every line of the default list kept.
fresh="$work/fresh"
mkdir -m 755 "$fresh"
chown "$tester:$tester" "$fresh"
out=$(as_tester "$fresh" "$add") || fail "a fresh home: status $?"
grep -q "^loopster-xscreensaver-add: wrote $fresh/.xscreensaver " <<<"$out" || fail "said: $out"
grep -v '^#' "$fresh/.xscreensaver" >"$work/fresh-list"
diff <(default_list) "$work/fresh-list" >"$work/fresh.diff" && fail "nothing was added"
grep -q '^[0-9]*a[0-9]*$' <(head -n 1 "$work/fresh.diff") && [ "$(grep -c '^>' "$work/fresh.diff")" -eq 1 ] &&
    grep -Eq '^> 	+loopster --root	+ +\\n\\$' "$work/fresh.diff" ||
    fail "a fresh home's list is not the default list plus loopster: $(cat "$work/fresh.diff")"
[ "$(stat -c %a "$fresh/.xscreensaver")" = "$(printf '%o' $((0666 & ~$(umask))))" ] ||
    fail "a fresh home's file has mode $(stat -c %a "$fresh/.xscreensaver")"
echo "ok: a fresh home gets the daemon's $(grep -c '\\n' "$work/fresh-list") modes, loopster among them"

# --- A file as xscreensaver-settings writes it, with other hacks, a mode chosen by its number, an
# entry that goes on over two lines, a disabled one, and settings after the list.
home="$work/home"
mkdir -m 755 "$home"
printf '%s\n' \
    '# XScreenSaver Preferences File' \
    '# Written by xscreensaver-settings 6.06 for someone on Mon Dec  7 10:00:00 2026.' \
    '' \
    'timeout:	0:10:00' \
    'mode:		one' \
    'selected:	2' \
    '' \
    'programs:								      \' \
    '				maze --root				    \n\' \
    '- GL: 				superquadrics --root			    \n\' \
    '				attraction --root -mode balls		      \' \
    '				  -points 3				    \n\' \
    '  GL: 				gears --root				    \n' \
    '' \
    '' \
    'pointerHysteresis:	10' \
    'authWarningSlack:	20' >"$home/.xscreensaver"
chmod 600 "$home/.xscreensaver"
chown -R "$tester:$tester" "$home"
cp -p "$home/.xscreensaver" "$work/before"

# Not while xscreensaver-settings runs: it would write its own list over the change when it quits.
cp "$(command -v sleep)" "$work/bin/xscreensaver-settings"
# Started directly rather than through a function, so that $! is its own pid.
setpriv --reuid="$tester" --regid="$tester" --clear-groups "$work/bin/xscreensaver-settings" 30 &
pids+=($!)
code=0
as_tester "$home" "$add" >"$work/refused.out" 2>"$work/refused.err" || code=$?
[ "$code" -eq 1 ] && [ ! -s "$work/refused.out" ] && [ "$(wc -l <"$work/refused.err")" -eq 1 ] &&
    grep -q 'xscreensaver-settings is running' "$work/refused.err" ||
    fail "with xscreensaver-settings running: status $code and: $(cat "$work/refused.err")"
cmp -s "$home/.xscreensaver" "$work/before" && [ "$(ls -A "$home")" = .xscreensaver ] ||
    fail "with xscreensaver-settings running, the home changed: $(ls -A "$home")"
kill "${pids[-1]}"
wait "${pids[-1]}" 2>/dev/null || true
echo "ok: refused while xscreensaver-settings runs: $(cat "$work/refused.err")"

out=$(as_tester "$home" "$add") || fail "an existing file: status $?"
grep -q 'the file as it was is .*/.xscreensaver.before-loopster' <<<"$out" || fail "said: $out"
cmp -s "$home/.xscreensaver.before-loopster" "$work/before" || fail "the backup is not the old file"
diff "$work/before" "$home/.xscreensaver" >"$work/home.diff" || true
[ "$(head -n 1 "$work/home.diff")" = 12a13 ] && [ "$(wc -l <"$work/home.diff")" -eq 2 ] &&
    grep -Eq '^> 	+loopster --root	+ +\\n\\$' "$work/home.diff" ||
    fail "not one line added before the last entry: $(cat "$work/home.diff")"
[ "$(stat -c %a "$home/.xscreensaver")" = 600 ] || fail "the file's mode changed"
echo "ok: an existing file gains one line before its last entry, every other byte kept, and a backup"

# Run again: already listed, nothing changed, no second backup.
out=$(as_tester "$home" "$add") || fail "a second run: status $?"
grep -q 'already lists loopster; nothing changed' <<<"$out" || fail "a second run said: $out"
[ "$(ls -A "$home" | wc -l)" -eq 2 ] || fail "a second run left: $(ls -A "$home")"
echo "ok: a second run changes nothing"

# The mode chosen by its number keeps its entry: selecting the last entry moves with it.
sed -i 's/^selected:	2$/selected:	3/' "$work/before"
cp "$work/before" "$home/.xscreensaver"
as_tester "$home" "$add" >/dev/null || fail "selected last: status $?"
grep -qx 'selected:	4' "$home/.xscreensaver" ||
    fail "selected: no longer names gears: $(grep selected: "$home/.xscreensaver")"
echo "ok: a selected last entry keeps its selection"

# --- The real daemon with the fresh home's file, run as nobody (it runs no hack as root), selects
# loopster by its place in the list and runs it, found on its PATH.
install -m 755 "$hack" "$work/bin/loopster"
chown -R nobody:nogroup "$fresh"
number=$(grep '\\n' "$work/fresh-list" | grep -n 'loopster --root' | cut -d: -f1)
use_private_home "$work"
start_private_xvfb 1024x576 "$work"
as_nobody() {
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env -i HOME="$fresh" DISPLAY="$DISPLAY" PATH="$work/bin:/usr/bin:/bin" "$@"
}
as_nobody xscreensaver -no-splash -verbose >"$work/daemon.log" 2>&1 &
pids+=($!)
poll_until 20 as_nobody xscreensaver-command -time >/dev/null 2>&1 || fail "the daemon does not answer"
as_nobody xscreensaver-command -select "$number" >/dev/null
poll_until 20 grep -q 'forked "loopster --root"' "$work/daemon.log" ||
    fail "the daemon did not run loopster, number $number of its list"
poll_until 10 centre_has_ink "$work/shot.ppm" || fail "no curve from the daemon's loopster"
echo "ok: the daemon runs loopster, number $number of the fresh home's list"
