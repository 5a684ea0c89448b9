#!/usr/bin/env bash
# Measures what a frame costs the machine: the CPU of the saver, of the X server and (for the
# Windows build under Wine) of the wine server, for `loopster /s` (Linux), `xspirograph --root`
# (xscreensaver's spirograph, when installed) and `loopster.scr /s` (the shipped i686 Windows build
# under 64-bit Wine, or the x86_64 build where this machine cannot execute 32-bit code), one after
# the other in interleaved rounds on one private Xvfb per screen size, at 1920x1080 and 3840x2160,
# 30 fps, heavy lines. Prints each run and the median of the rounds. A
# measuring script, not a test: it asserts nothing.
#
#   bench/frame-cost.sh [BASELINE_SCR [BASELINE_LOOPSTER]]
#
# BASELINE_SCR, another loopster.scr (for instance the build before a change), and
# BASELINE_LOOPSTER, another Linux loopster, join every round as "scr-baseline" and
# "linux-baseline". The environment can change the rest:
#   LOOPSTER      the Linux saver     (default build/linux-release/hosts/qt/loopster)
#   LOOPSTER_SCR  the Windows saver   (default build/mingw-i686-release/hosts/win32/loopster.scr,
#                 or the mingw-x64-release one where 32-bit code does not run)
#   ROUNDS        rounds per size     (default 5)
#   RUN_SECONDS   measured per run    (default 10; each run first settles for 2 s)
#   SIZES         screen sizes        (default "1920x1080 3840x2160")
#   PIN_TIME      a wall-clock time, e.g. "2026-12-07 12:00:00": the Linux loopsters run under
#                 libfaketime (Debian faketime) with the clock of the day standing still at that
#                 time, so that they draw the same patterns in every run (the seed is the time of
#                 day; frames are paced by the monotonic clock, which runs on). xspirograph seeds
#                 itself from its process id as well and keeps its own clock. Unset, every run
#                 draws its own random patterns, which is why the medians of several rounds count.
# CPU is the scheduler's own count in nanoseconds (/proc/PID/task/*/schedstat), not clock ticks:
# a saver at 30 fps runs for only a few ticks' worth in a run.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$here/..
# shellcheck source=../scripts/e2e-lib.sh
. "$root/scripts/e2e-lib.sh"

baseline_scr=${1:-}
baseline_linux=${2:-}
loopster=${LOOPSTER:-$root/build/linux-release/hosts/qt/loopster}
# shellcheck source=../hosts/win32/tests/wine_machine.sh
. "$root/hosts/win32/tests/wine_machine.sh"
if runs_32bit_code; then
    scr=${LOOPSTER_SCR:-$root/build/mingw-i686-release/hosts/win32/loopster.scr}
else
    scr=${LOOPSTER_SCR:-$root/build/mingw-x64-release/hosts/win32/loopster.scr}
    [ -n "${LOOPSTER_SCR:-}" ] ||
        echo "note: this machine cannot execute 32-bit code; measuring the x86_64 loopster.scr" >&2
fi
rounds=${ROUNDS:-5}
seconds=${RUN_SECONDS:-10}
sizes=${SIZES:-1920x1080 3840x2160}
xspirograph=/usr/libexec/xscreensaver/xspirograph
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
settle=2

programs=()
[ -x "$loopster" ] && programs+=(linux) || echo "note: no $loopster; build linux-release" >&2
[ -n "$baseline_linux" ] && programs+=(linux-baseline)
[ -x "$xspirograph" ] && programs+=(xspirograph) ||
    echo "note: no $xspirograph (Debian xscreensaver-data-extra); measured without it" >&2
if [ -x "$wine" ] && [ -f "$scr" ]; then
    programs+=(scr)
    [ -n "$baseline_scr" ] && programs+=(scr-baseline)
else
    echo "note: no $scr or no $wine; the Windows build is not measured" >&2
fi
[ ${#programs[@]} -gt 0 ] || { echo "error: nothing to measure" >&2; exit 1; }

begin_work
run_pid=
server_pid=

use_private_home "$work"
mkdir -p "$XDG_CONFIG_HOME/loopster"
# 30 frames per second and heavy (2-pixel) lines, the settings file of both builds.
printf '30\r\n2\r\n' >"$XDG_CONFIG_HOME/loopster/tovren.txt"

prefix=$work/prefix
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [[ " ${programs[*]} " == *" scr"* ]]; then
    echo "preparing a Wine prefix..." >&2
    start_private_xvfb 640x480 "$work"
    "$wine" wineboot -i >/dev/null 2>&1 || true
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    stop_private_xvfb
    mkdir -p "$prefix/drive_c/temp"
    printf '30\r\n2\r\n' >"$prefix/drive_c/temp/tovren.txt"
    cp "$scr" "$prefix/drive_c/loopster.scr"
    [ -n "$baseline_scr" ] && cp "$baseline_scr" "$prefix/drive_c/baseline.scr"
fi

# Nanoseconds on the CPU of every thread the process has now (the first field of each thread's
# schedstat).
cpu_ns() {
    local total=0 file ns rest
    for file in /proc/"$1"/task/*/schedstat; do
        read -r ns rest 2>/dev/null <"$file" || continue
        total=$((total + ns))
    done
    echo "$total"
}
now_ns() { date +%s%N; }

pinned=()
if [ -n "${PIN_TIME:-}" ]; then
    faketime_lib=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1
    [ -f "$faketime_lib" ] || { echo "error: PIN_TIME needs $faketime_lib (Debian faketime)" >&2; exit 1; }
    pinned=(env LD_PRELOAD="$faketime_lib" FAKETIME="$PIN_TIME" FAKETIME_DONT_FAKE_MONOTONIC=1)
fi

start_program() {
    case $1 in
        linux) "${pinned[@]}" "$loopster" /s 2>/dev/null & ;;
        linux-baseline) "${pinned[@]}" "$baseline_linux" /s 2>/dev/null & ;;
        xspirograph) "$xspirograph" --root >/dev/null 2>&1 & ;;
        scr) "$wine" 'C:\loopster.scr' /s >/dev/null 2>&1 & ;;
        scr-baseline) "$wine" 'C:\baseline.scr' /s >/dev/null 2>&1 & ;;
    esac
    run_pid=$!
}

results=$work/results
: >"$results"
for size in $sizes; do
    start_private_xvfb "$size" "$work"
    if [[ " ${programs[*]} " == *" scr"* ]]; then
        # One wine server for the size's runs, in the foreground of its own job so that its id
        # is known; it stays up between runs, as it does for a saver on a desktop.
        "$wineserver" -f -p &
        server_pid=$!
        # The first program of a new server brings up Wine's own helper processes; they settle
        # before anything is measured.
        "$wine" cmd /c exit >/dev/null 2>&1 || true
        sleep 2
    fi
    for ((round = 1; round <= rounds; round++)); do
        # Each round starts one program further on, so no program always follows the same one.
        order=()
        for ((k = 0; k < ${#programs[@]}; k++)); do
            order+=("${programs[$(((k + round - 1) % ${#programs[@]}))]}")
        done
        for program in "${order[@]}"; do
            start_program "$program"
            sleep "$settle"
            kill -0 "$run_pid" 2>/dev/null || { echo "error: $program ended by itself" >&2; exit 1; }
            t0=$(now_ns)
            p0=$(cpu_ns "$run_pid")
            x0=$(cpu_ns "$XVFB_PID")
            w0=0
            [[ $program == scr* ]] && w0=$(cpu_ns "$server_pid")
            sleep "$seconds"
            p1=$(cpu_ns "$run_pid")
            x1=$(cpu_ns "$XVFB_PID")
            w1=0
            [[ $program == scr* ]] && w1=$(cpu_ns "$server_pid")
            t1=$(now_ns)
            kill "$run_pid" 2>/dev/null || true
            wait "$run_pid" 2>/dev/null || true
            run_pid=
            # A program of the wine server leaves it idle again before the next run.
            [[ $program == scr* ]] && sleep 1
            echo "$size $program $round $((p1 - p0)) $((x1 - x0)) $((w1 - w0)) $((t1 - t0))" |
                tee -a "$results" >&2
        done
    done
    if [ -n "$server_pid" ]; then
        "$wineserver" -k 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
        server_pid=
    fi
    stop_private_xvfb
done

python3 - "$results" "$rounds" "$seconds" "$(cut -d ' ' -f 1-3 /proc/loadavg)" "${PIN_TIME:-}" <<'PY'
import statistics
import sys

path, rounds, seconds, load, pin = sys.argv[1:6]
runs = {}
for line in open(path):
    size, program, _, process, xserver, wineserver, ns = line.split()
    wall = int(ns) / 1e9
    share = [int(v) / 1e9 / wall * 100 for v in (process, xserver, wineserver)]
    runs.setdefault((size, program), []).append(share + [sum(share)])

pinned = f", patterns pinned at {pin}" if pin else ""
print(f"CPU in % of one core, medians of {rounds} interleaved rounds of {seconds} s, "
      f"30 fps, heavy lines{pinned} (load average at the end: {load})")
print(f"{'size':<10} {'program':<15} {'process':>8} {'X server':>9} {'wineserver':>11} "
      f"{'total':>7}   totals of the rounds")
median = {}
for (size, program), values in runs.items():
    parts = [statistics.median(v[k] for v in values) for k in range(4)]
    median[(size, program)] = parts[3]
    totals = " ".join(f"{v[3]:.2f}" for v in values)
    print(f"{size:<10} {program:<15} {parts[0]:8.2f} {parts[1]:9.2f} {parts[2]:11.2f} "
          f"{parts[3]:7.2f}   {totals}")

def ratio(label, a, b, target):
    if a in median and b in median and median[b] > 0:
        value = median[a] / median[b]
        print(f"{label:<58} {value:5.2f}  (target {target}; {'met' if eval(f'{value} {target}') else 'not met'})")

print()
ratio("linux / xspirograph, 1920x1080", ("1920x1080", "linux"), ("1920x1080", "xspirograph"), "<= 1.0")
ratio("linux 3840x2160 / linux 1920x1080", ("3840x2160", "linux"), ("1920x1080", "linux"), "<= 1.5")
ratio("scr / scr-baseline, 1920x1080", ("1920x1080", "scr"), ("1920x1080", "scr-baseline"), "<= 0.5")
ratio("scr / scr-baseline, 3840x2160", ("3840x2160", "scr"), ("3840x2160", "scr-baseline"), "<= 0.5")
ratio("linux / linux-baseline, 1920x1080", ("1920x1080", "linux"), ("1920x1080", "linux-baseline"), "< 1.0")
ratio("linux / linux-baseline, 3840x2160", ("3840x2160", "linux"), ("3840x2160", "linux-baseline"), "< 1.0")
PY
