#!/usr/bin/env bash
# Measures the xscreensaver hack drawing on the root window of a private 1920x1080 Xvfb at 30 fps
# with heavy lines and prints the CPU of the hack and of the X server and the hack's peak resident
# memory. It prints figures and asserts nothing.
#
#   bench/hack-perf.sh [PATH_TO_HACK] [SECONDS]
#
# Defaults: build/linux-release/hosts/xscreensaver/loopster, 20 seconds.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../scripts/e2e-lib.sh
. "$here/../scripts/e2e-lib.sh"

hack=${1:-$here/../build/linux-release/hosts/xscreensaver/loopster}
seconds=${2:-20}
begin_work
hack_pid=

use_private_home "$work"
start_private_xvfb 1920x1080 "$work"

"$hack" --root --rate 30 --heavy &
hack_pid=$!
poll_until 10 centre_has_ink "$work/shot.ppm" || { echo "error: no curve within 10 s" >&2; exit 1; }
sleep 1
start_ns=$(date +%s%N)
hack_start=$(cpu_ticks "$hack_pid")
xvfb_start=$(cpu_ticks "$XVFB_PID")
sleep "$seconds"
hack_end=$(cpu_ticks "$hack_pid")
xvfb_end=$(cpu_ticks "$XVFB_PID")
end_ns=$(date +%s%N)
peak_kib=$(awk '$1 == "VmHWM:" { print $2 }' "/proc/$hack_pid/status")
load=$(cut -d ' ' -f 1-3 /proc/loadavg)
kill "$hack_pid"
wait "$hack_pid" || true
hack_pid=

python3 - "$start_ns" "$end_ns" "$hack_start" "$hack_end" "$xvfb_start" "$xvfb_end" \
    "$(getconf CLK_TCK)" "$peak_kib" "$load" "$seconds" <<'PY'
import sys

start_ns, end_ns, hack_start, hack_end, xvfb_start, xvfb_end, hz, peak_kib, load, seconds = sys.argv[1:]
wall = (int(end_ns) - int(start_ns)) / 1e9
hack = (int(hack_end) - int(hack_start)) / int(hz) / wall * 100
xvfb = (int(xvfb_end) - int(xvfb_start)) / int(hz) / wall * 100
print(f"loopster hack --root, 1920x1080 Xvfb, 30 fps, heavy lines, {seconds} s measured"
      f" (load average before the end: {load})")
print(f"CPU, hack:                  {hack:6.2f} % of one core")
print(f"CPU, X server:              {xvfb:6.2f} % of one core")
print(f"CPU, together:              {hack + xvfb:6.2f} % of one core")
print(f"peak RSS (VmHWM):           {int(peak_kib) / 1024:6.1f} MiB")
PY
