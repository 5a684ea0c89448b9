#!/usr/bin/env bash
# Measures `loopster /s` on a private 1920x1080 Xvfb at 30 fps (or RATE) with heavy lines and
# prints the CPU of the saver and of the X server, the frame interval and its jitter, the peak
# resident memory and the time from exec to the first frame shown. It prints figures and asserts
# nothing.
#
#   bench/saver-perf.sh [PATH_TO_LOOPSTER] [SECONDS] [SCREENS]
#
# Defaults: build/linux-release/hosts/qt/loopster, 20 seconds, one screen. With SCREENS above 1
# the Xvfb has that many X screens of 1920x1080, so the saver draws every frame that many times,
# once in each screen's window. The timing log (frames drawn and
# shown, wall clock in ns) comes from the saver itself on stderr when LOOPSTER_TIMING_LOG is set.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../scripts/e2e-lib.sh
. "$here/../scripts/e2e-lib.sh"

saver=${1:-$here/../build/linux-release/hosts/qt/loopster}
seconds=${2:-20}
screens=${3:-1}
# RATE sets another frame rate (5 to 100).
rate=${RATE:-30}
if [ ! -x "$saver" ]; then
    echo "error: $saver is missing; build it first" >&2
    exit 1
fi

begin_work
saver_pid=

use_private_home "$work"
mkdir -p "$XDG_CONFIG_HOME/loopster"
# The settings file for 30 fps and heavy (2-pixel) lines.
printf '%s\r\n2\r\n' "$rate" >"$XDG_CONFIG_HOME/loopster/tovren.txt"
more=()
for ((i = 1; i < screens; i++)); do
    more+=(1920x1080)
done
start_private_xvfb 1920x1080 "$work" "${more[@]}"


# The subshell records the wall clock and becomes the saver, so the time is taken just before exec.
(
    now_ns >"$work/exec-ns"
    LOOPSTER_TIMING_LOG=1 exec "$saver" /s
) 2>"$work/timing.log" &
saver_pid=$!

shown() { grep -q '^loopster-timing shown ' "$work/timing.log"; }
poll_until 10 shown || {
    echo "error: the saver showed no frame within 10 s" >&2
    cat "$work/timing.log" >&2
    exit 1
}

# One second to settle, then the measured window.
sleep 1
start_ns=$(now_ns)
saver_start=$(cpu_ticks "$saver_pid")
xvfb_start=$(cpu_ticks "$XVFB_PID")
sleep "$seconds"
saver_end=$(cpu_ticks "$saver_pid")
xvfb_end=$(cpu_ticks "$XVFB_PID")
end_ns=$(now_ns)
peak_kib=$(awk '$1 == "VmHWM:" { print $2 }' "/proc/$saver_pid/status")
load=$(cut -d ' ' -f 1-3 /proc/loadavg)

xdotool key space
poll_until 5 ended "$saver_pid" || echo "warning: the saver did not end on a key" >&2
wait "$saver_pid" 2>/dev/null || true
saver_pid=

python3 - "$work/timing.log" "$(cat "$work/exec-ns")" "$start_ns" "$end_ns" "$rate" \
    "$saver_start" "$saver_end" "$xvfb_start" "$xvfb_end" "$(getconf CLK_TCK)" "$peak_kib" \
    "$load" "$seconds" "$screens" <<'PY'
import sys

(log, exec_ns, start_ns, end_ns, rate, saver_start, saver_end, xvfb_start, xvfb_end, hz, peak_kib,
 load, seconds, screens) = sys.argv[1:]
exec_ns, start_ns, end_ns = int(exec_ns), int(start_ns), int(end_ns)
rate, hz, screens = int(rate), int(hz), int(screens)

events = {"drawn": [], "shown": []}
for line in open(log):
    fields = line.split()
    if len(fields) == 3 and fields[0] == "loopster-timing" and fields[1] in events:
        events[fields[1]].append(int(fields[2]))

wall = (end_ns - start_ns) / 1e9
saver_cpu = (int(saver_end) - int(saver_start)) / hz / wall * 100
xvfb_cpu = (int(xvfb_end) - int(xvfb_start)) / hz / wall * 100

def intervals(times):
    # With several screens each frame is logged once for each of them, one after the other: the
    # frame's time is the last screen's.
    inside = [t for t in times if start_ns <= t <= end_ns][screens - 1::screens]
    return [(b - a) / 1e6 for a, b in zip(inside, inside[1:])]

def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]

nominal = 1000 / rate
# Each deadline is the tick at the frame's start plus 1000 / rate, rounded to a whole tick.
whole = round(nominal)
print(f"loopster /s, {screens} x 1920x1080 Xvfb, {rate} fps, heavy lines, {seconds} s measured"
      f" (load average before the end: {load})")
print(f"CPU, saver:                 {saver_cpu:6.2f} % of one core")
print(f"CPU, X server:              {xvfb_cpu:6.2f} % of one core")
print(f"CPU, together:              {saver_cpu + xvfb_cpu:6.2f} % of one core  (target < 2 %)")
for name in ("drawn", "shown"):
    values = intervals(events[name])
    if len(values) < 2:
        print(f"frames {name}: too few to measure")
        continue
    mean = sum(values) / len(values)
    jitter = [abs(v - mean) for v in values]
    print(f"frame interval, {name}:     mean {mean:7.3f} ms over {len(values)} intervals"
          f" ({(mean - nominal) / nominal * 100:+.2f} % of 1000/{rate} = {nominal:.2f} ms;"
          f" {(mean - whole) / whole * 100:+.2f} % of the {whole} ms whole-tick deadline),"
          f" min {min(values):.3f}, max {max(values):.3f}")
    print(f"jitter, {name}:             p99 {percentile(jitter, 0.99):6.3f} ms,"
          f" p50 {percentile(jitter, 0.5):6.3f} ms  (|interval - mean|; target p99 < 2 ms)")
print(f"peak RSS (VmHWM):           {int(peak_kib) / 1024:6.1f} MiB")
if events["shown"]:
    print(f"exec to first frame shown:  {(events['shown'][0] - exec_ns) / 1e6:6.1f} ms"
          "  (target < 150 ms)")
PY
