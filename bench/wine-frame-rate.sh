#!/usr/bin/env bash
# Measures the frame rate that the Windows build's pacing shows under Wine, for a set 30 and 100
# fps: the saver's own pacing on its tick and event wait (loopster_frame_rate_probe.exe, built with
# the Windows builds), as it ships, with each wait run for its whole timeout as before, and with
# the tick cut to the 15.625 ms steps of GetTickCount on Windows. Interleaved rounds on a private
# prefix and Xvfb; the i686 build where this machine executes 32-bit code, else the x86_64 one. A
# measuring script, not a test: it asserts nothing.
#
#   bench/wine-frame-rate.sh          ROUNDS (default 3) and SECONDS per rate (default 5)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$here/..
# shellcheck source=../scripts/e2e-lib.sh
. "$root/scripts/e2e-lib.sh"
# shellcheck source=../hosts/win32/tests/wine_machine.sh
. "$root/hosts/win32/tests/wine_machine.sh"
rounds=${ROUNDS:-3}
seconds=${SECONDS_PER_RATE:-5}
if runs_32bit_code; then
    probe=$root/build/mingw-i686-release/hosts/win32/loopster_frame_rate_probe.exe
else
    probe=$root/build/mingw-x64-release/hosts/win32/loopster_frame_rate_probe.exe
fi
[ -f "$probe" ] || { echo "error: no $probe; build the Windows presets" >&2; exit 1; }
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

begin_work
on_exit() { "$wineserver" -k 2>/dev/null; }
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
start_private_xvfb 640x480 "$work"
"$wine" wineboot -i >/dev/null 2>&1 || true

echo "$(basename "$(dirname "$(dirname "$(dirname "$probe")")")"), $rounds rounds of $seconds s a rate"
for ((round = 1; round <= rounds; round++)); do
    for mode in "" full coarse; do
        # shellcheck disable=SC2086
        "$wine" "$probe" "$seconds" $mode | tr -d '\r'
    done
done
echo "load average at the end: $(cut -d ' ' -f 1-3 /proc/loadavg)"
