#!/usr/bin/env bash
# The package's screen-saver theme under MATE's screensaver, from the package's own files: ROOT is
# the unpacked package. Its entry is found through XDG_DATA_DIRS, as an installed one is in
# /usr/share, and the hack that the entry names sits at its installed path, bound over
# /usr/libexec/xscreensaver in a private mount namespace (mate-screensaver runs theme commands
# from there only). In a private D-Bus session and Xvfb: the theme resolves to the packaged hack,
# `mate-screensaver-command --activate` draws a curve full screen, and a key press or a pointer
# move ends the hack and unblanks.
set -euo pipefail

root=${1:?usage: mate_test.sh UNPACKED_PACKAGE_ROOT}
root=$(cd "$root" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
self="$here/$(basename "$0")"
# shellcheck source=../scripts/e2e-lib.sh
. "$here/../scripts/e2e-lib.sh"

fail() {
    echo "FAIL: $*" >&2
    if [ -s "${MATE_TEST_WORK:-/nonexistent}/mate.log" ]; then
        echo "--- mate.log:" >&2
        grep -v '^dbus' "$MATE_TEST_WORK/mate.log" | tail -n 30 >&2
    fi
    exit 1
}

if [ "${2:-}" != --inside ]; then
    # The home, the settings (dconf, started by the session bus) and the runtime folder are
    # private: they are set before the bus starts, which hands them to what it starts.
    if ! unshare -m true 2>/dev/null || [ ! -d /usr/libexec/xscreensaver ]; then
        echo "skip: no private mount namespace here, or no /usr/libexec/xscreensaver to bind over"
        exit 0
    fi
    MATE_TEST_WORK=$(mktemp -d)
    export MATE_TEST_WORK
    trap 'rm -rf "$MATE_TEST_WORK"' EXIT
    use_private_home "$MATE_TEST_WORK"
    # What the bus and the services it starts print goes to a log; the test's own output to
    # descriptors 3 and 4, the original stdout and stderr.
    unshare -m -- sh -c 'mount --bind "$1/usr/libexec/xscreensaver" /usr/libexec/xscreensaver &&
        exec dbus-run-session -- "$2" "$1" --inside' sh "$root" "$self" \
        3>&1 4>&2 >"$MATE_TEST_WORK/bus.log" 2>&1
    exit 0
fi

# Inside the namespace and the session bus.
exec 1>&3 2>&4 3>&- 4>&-
work=$MATE_TEST_WORK
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    stop_private_xvfb
}
trap cleanup EXIT

start_private_xvfb 1024x768 "$work"
export XDG_CURRENT_DESKTOP=MATE XDG_DATA_DIRS="$root/usr/share:/usr/share"
gsettings set org.mate.screensaver mode single
gsettings set org.mate.screensaver themes "['screensavers-loopster']"
gsettings set org.mate.screensaver lock-enabled false
gsettings set org.mate.screensaver idle-activation-enabled false

mate-screensaver --debug >"$work/mate.log" 2>&1 &
saver_pid=$!
pids+=("$saver_pid")
poll_until 15 mate-screensaver-command --query >/dev/null 2>&1 ||
    fail "mate-screensaver does not answer"

hack_pid() { pgrep -P "$saver_pid" -x loopster; }
inactive() { mate-screensaver-command --query 2>/dev/null | grep -q 'is inactive'; }

# Blanks, and waits for the packaged hack's curve on the whole screen.
activate() {
    mate-screensaver-command --activate >/dev/null
    poll_until 15 hack_pid >/dev/null || fail "no hack was started"
    poll_until 15 centre_has_ink "$work/shot.ppm" || fail "no curve around the screen's centre"
}

activate
grep -q "Setting command for job: '/usr/libexec/xscreensaver/loopster --root'" "$work/mate.log" ||
    fail "the theme did not resolve to the packaged hack"
echo "ok: the theme screensavers-loopster runs the packaged hack, a curve full screen"

for input in "key space" "mousemove 100 100 sleep 0.2 mousemove 600 500"; do
    [ -n "$(hack_pid || true)" ] || activate
    pid=$(hack_pid)
    # shellcheck disable=SC2086
    xdotool $input
    poll_until 5 inactive || fail "xdotool $input did not unblank"
    poll_until 5 bash -c "! kill -0 $pid 2>/dev/null" || fail "xdotool $input did not end the hack"
    echo "ok: xdotool $input ends the hack and unblanks"
done
mate-screensaver-command --exit >/dev/null 2>&1 || true
