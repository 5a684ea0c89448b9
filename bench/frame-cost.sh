#!/usr/bin/env bash
# Measures what a frame costs the machine: the CPU of the saver, of the X server and (for the
# Windows builds under Wine) of the wine server, for `loopster /s` (Linux), `xspirograph --root`
# (xscreensaver's spirograph, when installed) and `loopster.scr /s` in both Windows builds under
# 64-bit Wine ("scr", the shipped i686 one, skipped where this machine cannot execute 32-bit code,
# and "scr64", the x86_64 one), one after the other in interleaved rounds on one private Xvfb per
# screen size, at 1920x1080 and 3840x2160, 30 fps, heavy lines. Prints each run with the process
# it read and the median of the rounds, with the saver's resident memory (VmRSS) 3 s after its
# start. A measuring script, not a test: it asserts nothing.
#
# `wine64 C:\loopster.scr` runs Wine's start.exe, which starts the i686 saver as a process of its
# own and then only waits (the x86_64 saver takes the launcher's process over): the CPU counted for
# a Windows build is that of the process whose command line is the saver's, in this script's Wine
# prefix, found by its /proc entries.
#
#   bench/frame-cost.sh [BASELINE_SCR [BASELINE_LOOPSTER]]
#
# BASELINE_SCR, another loopster.scr (for instance the build before a change), and
# BASELINE_LOOPSTER, another Linux loopster, join every round as "scr-baseline" and
# "linux-baseline". The environment can change the rest:
#   LOOPSTER      the Linux saver     (default build/linux-release/hosts/qt/loopster)
#   LOOPSTER_SCR  the i686 saver      (default build/mingw-i686-release/hosts/win32/loopster.scr)
#   LOOPSTER_SCR64 the x86_64 saver   (default build/mingw-x64-release/hosts/win32/loopster.scr)
#   ROUNDS        rounds per size     (default 5)
#   RUN_SECONDS   measured per run    (default 10; each run first settles for 2 s)
#   SIZES         screen sizes        (default "1920x1080 3840x2160")
#   PEN           heavy or light      (default heavy: two-pixel lines)
#   SERVER        xvfb or xorg        (default xvfb; xorg runs Xorg with the dummy driver, its
#                 screen set to each size with xrandr, which must be one of the driver's modes)
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
scr=${LOOPSTER_SCR:-$root/build/mingw-i686-release/hosts/win32/loopster.scr}
scr64=${LOOPSTER_SCR64:-$root/build/mingw-x64-release/hosts/win32/loopster.scr}
rounds=${ROUNDS:-5}
seconds=${RUN_SECONDS:-10}
sizes=${SIZES:-1920x1080 3840x2160}
xspirograph=/usr/libexec/xscreensaver/xspirograph
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
settle=3
pen=${PEN:-heavy}
server=${SERVER:-xvfb}

programs=()
[ -x "$loopster" ] && programs+=(linux) || echo "note: no $loopster; build linux-release" >&2
[ -n "$baseline_linux" ] && programs+=(linux-baseline)
[ -x "$xspirograph" ] && programs+=(xspirograph) ||
    echo "note: no $xspirograph (Debian xscreensaver-data-extra); measured without it" >&2
if [ ! -x "$wine" ]; then
    echo "note: no $wine; the Windows builds are not measured" >&2
else
    if [ ! -f "$scr" ]; then
        echo "note: no $scr; the i686 build is not measured" >&2
    elif ! runs_32bit_code; then
        echo "note: this machine cannot execute 32-bit code; the i686 build is not measured" >&2
    else
        programs+=(scr)
    fi
    [ -f "$scr64" ] && programs+=(scr64) ||
        echo "note: no $scr64; the x86_64 build is not measured" >&2
    [ -n "$baseline_scr" ] && programs+=(scr-baseline)
fi
[ ${#programs[@]} -gt 0 ] || { echo "error: nothing to measure" >&2; exit 1; }

begin_work
run_pid=
measured_pid=
server_pid=
# The i686 saver is no job of this script: it is ended at exit by its PID.
on_exit() {
    if [ -n "$measured_pid" ]; then
        kill "$measured_pid" 2>/dev/null || true
    fi
}

use_private_home "$work"
mkdir -p "$XDG_CONFIG_HOME/loopster"
# 30 frames per second and heavy (2-pixel) or light lines, the settings file of both builds.
printf '30\r\n%s\r\n' "$([ "$pen" = light ] && echo 1 || echo 2)" >"$XDG_CONFIG_HOME/loopster/tovren.txt"

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
    [ -f "$scr" ] && cp "$scr" "$prefix/drive_c/loopster.scr"
    [ -f "$scr64" ] && cp "$scr64" "$prefix/drive_c/loopster64.scr"
    [ -n "$baseline_scr" ] && cp "$baseline_scr" "$prefix/drive_c/baseline.scr"
fi


# The process of this prefix whose command line starts with the Windows path $1 (Wine shows a
# program's own command line there); waits up to 5 s for it to appear.
wine_process() {
    local entry pid first
    for _ in $(seq 50); do
        for entry in /proc/[0-9]*; do
            pid=${entry#/proc/}
            # Processes come and go during the search: one that is gone is passed over.
            first=$(tr '\0' '\n' 2>/dev/null <"$entry/cmdline" | head -n 1) || continue
            [ "$first" = "$1" ] || continue
            tr '\0' '\n' 2>/dev/null <"$entry/environ" | grep -qxF "WINEPREFIX=$prefix" || continue
            echo "$pid"
            return 0
        done
        sleep 0.1
    done
    return 1
}

# The Windows path each Windows program runs as.
windows_path() {
    case $1 in
        scr) echo 'C:\loopster.scr' ;;
        scr64) echo 'C:\loopster64.scr' ;;
        scr-baseline) echo 'C:\baseline.scr' ;;
    esac
}

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
        scr*) "$wine" "$(windows_path "$1")" /s >/dev/null 2>&1 & ;;
    esac
    run_pid=$!
    measured_pid=$run_pid
    measured_name=$1
    if [[ $1 == scr* ]]; then
        measured_pid=$(wine_process "$(windows_path "$1")") ||
            { echo "error: no process runs $(windows_path "$1")" >&2; exit 1; }
        measured_name=$(tr '\0' ' ' <"/proc/$measured_pid/cmdline" | sed 's/ *$//')
    fi
}

results=$work/results
: >"$results"
# The X server for one size: a private Xvfb, or Xorg with the dummy driver set to that size.
start_server() {
    if [ "$server" = xorg ]; then
        start_private_xorg "$work" || { echo "error: Xorg with the dummy driver does not run here" >&2; exit 1; }
        XVFB_PID=$XORG_PID
        # The dummy driver's own modes include the common screen sizes.
        xrandr --output DUMMY0 --mode "$1" ||
            { echo "error: the dummy driver has no $1 mode" >&2; exit 1; }
    else
        start_private_xvfb "$1" "$work"
    fi
}
stop_server() {
    if [ "$server" = xorg ]; then stop_private_xorg; else stop_private_xvfb; fi
}

for size in $sizes; do
    start_server "$size"
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
        round_order "$round" "${programs[@]}"
        for program in "${order[@]}"; do
            start_program "$program"
            sleep "$settle"
            kill -0 "$measured_pid" 2>/dev/null || { echo "error: $program ended by itself" >&2; exit 1; }
            rss=$(awk '/VmRSS/ { print $2 }' "/proc/$measured_pid/status")
            t0=$(now_ns)
            p0=$(cpu_ns "$measured_pid")
            x0=$(cpu_ns "$XVFB_PID")
            w0=0
            [[ $program == scr* ]] && w0=$(cpu_ns "$server_pid")
            sleep "$seconds"
            p1=$(cpu_ns "$measured_pid")
            x1=$(cpu_ns "$XVFB_PID")
            w1=0
            [[ $program == scr* ]] && w1=$(cpu_ns "$server_pid")
            t1=$(now_ns)
            kill "$measured_pid" "$run_pid" 2>/dev/null || true
            measured_pid=
            wait "$run_pid" 2>/dev/null || true
            run_pid=
            # A program of the wine server leaves it idle again before the next run.
            [[ $program == scr* ]] && sleep 1
            echo "$size $program $round $((p1 - p0)) $((x1 - x0)) $((w1 - w0)) $((t1 - t0)) $rss" >>"$results"
            echo "$size $program round $round: PID $measured_pid ($measured_name)," \
                "$(((p1 - p0) / 1000000)) ms of CPU in $(((t1 - t0) / 1000000)) ms" >&2
        done
    done
    if [ -n "$server_pid" ]; then
        "$wineserver" -k 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
        server_pid=
    fi
    stop_server
done

python3 - "$results" "$rounds" "$seconds" "$(cut -d ' ' -f 1-3 /proc/loadavg)" "${PIN_TIME:-}" \
    "$pen" "$server" <<'PY'
import statistics
import sys

path, rounds, seconds, load, pin, pen, server = sys.argv[1:8]
runs = {}
for line in open(path):
    size, program, _, process, xserver, wineserver, ns, rss = line.split()
    wall = int(ns) / 1e9
    share = [int(v) / 1e9 / wall * 100 for v in (process, xserver, wineserver)]
    runs.setdefault((size, program), []).append(share + [sum(share), int(rss) / 1024])

pinned = f", patterns pinned at {pin}" if pin else ""
print(f"CPU in % of one core, medians of {rounds} interleaved rounds of {seconds} s on {server}, "
      f"30 fps, {pen} lines{pinned} (load average at the end: {load}); RSS 3 s after the start")
print(f"{'size':<10} {'program':<15} {'process':>8} {'X server':>9} {'wineserver':>11} "
      f"{'total':>7} {'RSS MiB':>8}   totals of the rounds")
median = {}
for (size, program), values in runs.items():
    parts = [statistics.median(v[k] for v in values) for k in range(5)]
    median[(size, program)] = parts[3]
    totals = " ".join(f"{v[3]:.2f}" for v in values)
    print(f"{size:<10} {program:<15} {parts[0]:8.2f} {parts[1]:9.2f} {parts[2]:11.2f} "
          f"{parts[3]:7.2f} {parts[4]:8.1f}   {totals}")

def ratio(label, a, b, target):
    if a in median and b in median and median[b] > 0:
        value = median[a] / median[b]
        print(f"{label:<58} {value:5.2f}  (target {target}; {'met' if eval(f'{value} {target}') else 'not met'})")

for size in sorted({size for size, _ in median}):
    if (size, "scr") in median and (size, "scr64") in median:
        print(f"{size}: i686 {median[(size, 'scr')]:.2f} %, x86_64 {median[(size, 'scr64')]:.2f} % "
              f"(totals, side by side)")

print()
ratio("linux / xspirograph, 1920x1080", ("1920x1080", "linux"), ("1920x1080", "xspirograph"), "<= 1.5")
ratio("linux 3840x2160 / linux 1920x1080", ("3840x2160", "linux"), ("1920x1080", "linux"), "<= 2.0")
ratio("scr / scr-baseline, 1920x1080", ("1920x1080", "scr"), ("1920x1080", "scr-baseline"), "<= 0.5")
ratio("scr / scr-baseline, 3840x2160", ("3840x2160", "scr"), ("3840x2160", "scr-baseline"), "<= 0.5")
ratio("linux / linux-baseline, 1920x1080", ("1920x1080", "linux"), ("1920x1080", "linux-baseline"), "<= 0.6")
ratio("linux / linux-baseline, 3840x2160", ("3840x2160", "linux"), ("3840x2160", "linux-baseline"), "< 1.0")
PY
