#!/usr/bin/env bash
# Runs one Windows test program under 64-bit Wine: the emulator that CTest puts in front of every
# cross-built test. A 32-bit program needs a kernel that runs 32-bit code (see wine_machine.sh);
# a program that is not the build to run here ends with the skip code 77. The first argument is the Wine prefix to use (shared by the unit tests of one
# build tree and created on first use); a private Xvfb display serves programs that open windows.
# Runs on one prefix are serialised, and each ends by stopping the prefix's wineserver, so that no
# Wine process outlives the display it was started on.
set -euo pipefail

prefix=$1
shift
# shellcheck source=wine_machine.sh
. "$(dirname "$0")/wine_machine.sh"
skip_unless_runnable_here "$1"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9

xvfb_pid=
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    sleep 0.05
done
export DISPLAY=:$(cat "$display_file")
rm -f "$display_file"

if [ ! -f "$prefix/system.reg" ]; then
    "$wine" wineboot -i >/dev/null 2>&1 || true
fi
"$wine" "$@"
