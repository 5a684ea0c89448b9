#!/usr/bin/env bash
# Measures what `loopster /s` costs on Wayland against the same build on X11: in interleaved rounds
# within one run, the saver full screen on headless sway (pixman renderer, one 1920x1080 output,
# no XWayland) and on a private 1920x1080 Xvfb, 30 fps, light (1-pixel) lines, patterns pinned.
# Prints each run, the medians of the CPU of the saver and of the compositor or X server, the
# saver's memory (VmRSS 3 s after its start) and the ratios of the targets. A measuring script, not
# a test: it asserts nothing.
#
#   bench/wayland-cost.sh [BASELINE_LOOPSTER]
#
# BASELINE_LOOPSTER, another build (for instance the one before a change), joins every round on
# both displays. The environment can change the rest:
#   LOOPSTER     the saver          (default build/linux-release/hosts/qt/loopster)
#   ROUNDS       rounds             (default 3)
#   RUN_SECONDS  measured per run   (default 8; each run first settles for 3 s)
#   SIZE         the screen         (default 1920x1080)
#   SCALE        sway's output scale (default 1; the X server's screen keeps SIZE)
#   OUTPUTS      outputs of SIZE side by side on sway, and as many X screens (default 1)
#   PEN          1 light, 2 heavy   (default 1)
#   PIN_TIME     the wall-clock time the savers see (default "2026-12-07 12:00:00"; libfaketime),
#                so that every run draws the same patterns; frames are paced by the monotonic
#                clock, which runs on
#   PERF         a number of seconds: after the rounds, `perf record -g` the saver on sway for
#                that long and print where its samples went (needs perf, Debian linux-perf)
# CPU is the scheduler's own count in nanoseconds (/proc/PID/task/*/schedstat). Sway will not run
# as root, so it runs as nobody in a private runtime folder; the saver connects to it as root.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$here/..
# shellcheck source=../scripts/e2e-lib.sh
. "$root/scripts/e2e-lib.sh"

baseline=${1:-}
loopster=${LOOPSTER:-$root/build/linux-release/hosts/qt/loopster}
rounds=${ROUNDS:-3}
seconds=${RUN_SECONDS:-8}
size=${SIZE:-1920x1080}
scale=${SCALE:-1}
outputs=${OUTPUTS:-1}
pen=${PEN:-1}
pin=${PIN_TIME:-2026-12-07 12:00:00}
settle=3
[ -x "$loopster" ] || { echo "error: no $loopster; build linux-release" >&2; exit 1; }
faketime_lib=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1
[ -f "$faketime_lib" ] || { echo "error: pinning needs $faketime_lib (Debian libfaketime)" >&2; exit 1; }

begin_work shared
use_private_home "$work"
mkdir -p "$XDG_CONFIG_HOME/loopster"
printf '30\r\n%s\r\n' "$pen" >"$XDG_CONFIG_HOME/loopster/tovren.txt"
mkdir -m 700 "$work/sway-runtime"
chown nobody:nogroup "$work/sway-runtime"
more_screens=()
: >"$work/sway.conf"
for ((output = 1; output <= outputs; output++)); do
    echo "output HEADLESS-$output resolution $size scale $scale position $(((output - 1) * ${size%x*})) 0" \
        >>"$work/sway.conf"
    [ "$output" -gt 1 ] && more_screens+=("$size")
done

setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env -i PATH=/usr/bin:/bin HOME=/nonexistent XDG_RUNTIME_DIR="$work/sway-runtime" WLR_RENDERER=pixman \
    WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS="$outputs" WLR_LIBINPUT_NO_DEVICES=1 \
    sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
sway_pid=$!
pids+=("$sway_pid")
sway_up() { compgen -G "$work/sway-runtime/wayland-[0-9]*.lock" >/dev/null; }
poll_until 10 sway_up || { echo "error: sway did not start" >&2; cat "$work/sway.log" >&2; exit 1; }
wayland_name=$(basename "$(compgen -G "$work/sway-runtime/wayland-[0-9]*.lock")" .lock)
start_private_xvfb "$size" "$work" "${more_screens[@]}"


# Starts the saver $2 on the display kind $1 (wayland or x11); sets run_pid.
start_program() {
    local display=(env -u WAYLAND_DISPLAY DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb)
    [ "$1" = wayland ] && display=(env -u DISPLAY XDG_RUNTIME_DIR="$work/sway-runtime"
        WAYLAND_DISPLAY="$wayland_name" QT_QPA_PLATFORM=wayland)
    "${display[@]}" LD_PRELOAD="$faketime_lib" FAKETIME="$pin" FAKETIME_DONT_FAKE_MONOTONIC=1 \
        "$2" /s 2>>"$work/saver.log" &
    run_pid=$!
}

programs=(wayland x11)
[ -n "$baseline" ] && programs+=(wayland-baseline x11-baseline)
results=$work/results
: >"$results"
for ((round = 1; round <= rounds; round++)); do
    round_order "$round" "${programs[@]}"
    for program in "${order[@]}"; do
        binary=$loopster
        [[ $program == *-baseline ]] && binary=$baseline
        server=$XVFB_PID
        [[ $program == wayland* ]] && server=$sway_pid
        start_program "${program%-baseline}" "$binary"
        sleep "$settle"
        kill -0 "$run_pid" 2>/dev/null ||
            { echo "error: $program ended by itself" >&2; cat "$work/saver.log" >&2; exit 1; }
        rss=$(awk '$1 == "VmRSS:" { print $2 }' "/proc/$run_pid/status")
        t0=$(now_ns)
        p0=$(cpu_ns "$run_pid")
        s0=$(cpu_ns "$server")
        sleep "$seconds"
        p1=$(cpu_ns "$run_pid")
        s1=$(cpu_ns "$server")
        t1=$(now_ns)
        kill "$run_pid" 2>/dev/null || true
        wait "$run_pid" 2>/dev/null || true
        run_pid=
        sleep 1
        echo "$program $round $((p1 - p0)) $((s1 - s0)) $((t1 - t0)) $rss" | tee -a "$results" >&2
    done
done

python3 - "$results" "$rounds" "$seconds" "$(cut -d ' ' -f 1-3 /proc/loadavg)" "$pin" "$size" \
    "$scale" "$pen" "$outputs" <<'PY'
import statistics
import sys

path, rounds, seconds, load, pin, size, scale, pen, outputs = sys.argv[1:10]
runs = {}
for line in open(path):
    program, _, process, server, ns, rss = line.split()
    wall = int(ns) / 1e9
    share = [int(v) / 1e9 / wall * 100 for v in (process, server)]
    runs.setdefault(program, []).append(share + [sum(share), int(rss) / 1024])

print(f"CPU in % of one core, medians of {rounds} interleaved rounds of {seconds} s, {outputs} x {size}, "
      f"sway output scale {scale}, 30 fps, pen {pen}, patterns pinned at {pin} "
      f"(load average at the end: {load})")
print(f"{'program':<18} {'saver':>7} {'server':>7} {'total':>7} {'RSS MiB':>8}   totals of the rounds")
median = {}
for program, values in runs.items():
    parts = [statistics.median(v[k] for v in values) for k in range(4)]
    median[program] = parts
    totals = " ".join(f"{v[2]:.2f}" for v in values)
    print(f"{program:<18} {parts[0]:7.2f} {parts[1]:7.2f} {parts[2]:7.2f} {parts[3]:8.1f}   {totals}")
print()
for suffix in ("", "-baseline"):
    w, x = median.get("wayland" + suffix), median.get("x11" + suffix)
    if w and x:
        name = "this build" if not suffix else "baseline"
        print(f"{name:<10} wayland / x11 CPU {w[2] / x[2]:5.2f} (target <= 2.5), "
              f"RSS {w[3] / x[3]:5.2f} (target <= 1.5)")
PY

if [ -n "${PERF:-}" ]; then
    start_program wayland "$loopster"
    sleep "$settle"
    perf record -q -F 999 -g -o "$work/perf.data" -p "$run_pid" -- sleep "$PERF" >/dev/null 2>&1
    kill "$run_pid" 2>/dev/null || true
    wait "$run_pid" 2>/dev/null || true
    run_pid=
    echo
    echo "perf: the saver on sway, $PERF s, self time by symbol:"
    perf report -q -i "$work/perf.data" --no-children -g none --sort dso,symbol --percent-limit 2 \
        2>/dev/null | grep -v '^$' | head -20
fi
