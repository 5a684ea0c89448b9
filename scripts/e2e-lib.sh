# The shell library of loopster's end-to-end tests, measuring scripts and screenshot scripts:
# a work folder cleaned up at exit, failing with the logs that explain why, and private X servers,
# homes and screenshots. Every script of that kind sources it.

# The folder of these helpers, for the screenshot checks beside them.
private_xvfb_scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Processes to end at exit beside the script's own background jobs (set by the script), and the
# logs whose last lines `fail` prints.
pids=()
fail_logs=()

# Makes the work folder $work and ends everything at exit: the script's own `on_exit` first when
# it has one, then every background job and process in `pids`, the private X servers, the folder.
# With "shared", the folder is readable by every user, for programs run as another user.
begin_work() {
    work=$(mktemp -d)
    if [ "${1:-}" = shared ]; then
        chmod 755 "$work"
    fi
    trap end_work EXIT
}

end_work() {
    local pid
    if declare -F on_exit >/dev/null; then
        on_exit || true
    fi
    for pid in "${pids[@]}" $(jobs -p); do
        kill "$pid" 2>/dev/null || true
    done
    stop_private_xvfb
    stop_private_xorg
    rm -rf "$work"
}

# Says what failed, shows the end of every log in `fail_logs` (without the timing lines that
# LOOPSTER_TIMING_LOG adds) and exits 1.
fail() {
    local log
    echo "FAIL: $*" >&2
    for log in "${fail_logs[@]}"; do
        if [ -s "$log" ]; then
            echo "--- $(basename "$log"):" >&2
            grep -v '^loopster-timing ' "$log" | tail -n 40 >&2 || true
        fi
    done
    exit 1
}

running() { kill -0 "$1" 2>/dev/null; }
ended() { ! running "$1"; }

# The SysV shared-memory segments that the process $1 made.
segments_by() { ipcs -m -p | awk -v pid="$1" '$3 == pid { print $1 }'; }

# Fails unless the process $1 (named $2 in what it says) shares no memory with the X server, and
# after a SIGKILL has left none behind: no memory file mapped, no SysV segment made. Reaps it.
expect_no_shared_memory() {
    local pid=$1 what=$2
    ! grep -q 'memfd:' "/proc/$pid/maps" || fail "$what shares a memory file"
    [ -z "$(segments_by "$pid")" ] || fail "$what made a SysV segment"
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null || true
    [ -z "$(segments_by "$pid")" ] || fail "SIGKILL left a SysV segment of $what behind"
}

# Waits up to 5 s for the saver, $saver_pid, to end by itself after what $1 says, and requires
# exit code 0; says how long it took.
expect_end() {
    local what=$1 start code=0
    start=$(date +%s%N)
    poll_until 5 ended "$saver_pid" || fail "$what did not end the saver"
    wait "$saver_pid" || code=$?
    saver_pid=
    [ "$code" -eq 0 ] || fail "$what: exit code $code"
    echo "ok: $what ended the saver after $((($(date +%s%N) - start) / 1000000)) ms"
}

# Clock ticks of utime + stime, fields 14 and 15 of /proc/PID/stat (after the command's brackets).
cpu_ticks() {
    local stat
    stat=$(cat "/proc/$1/stat")
    stat=${stat##*) }
    # shellcheck disable=SC2086
    set -- $stat
    echo $((${12} + ${13}))
}

# Nanoseconds on the CPU of every thread the process $1 has now: the scheduler's own count (the
# first field of each thread's schedstat), finer than clock ticks for a program that runs briefly.
cpu_ns() {
    local total=0 file ns rest
    for file in /proc/"$1"/task/*/schedstat; do
        read -r ns rest 2>/dev/null <"$file" || continue
        total=$((total + ns))
    done
    echo "$total"
}

now_ns() { date +%s%N; }

# For programs that run as nobody (sway refuses root): a home and a runtime folder of nobody's in
# $work, and the executable $1 copied to $work/bin/loopster, which nobody can run (begin_work
# shared makes $work reachable).
nobody_home() {
    mkdir -m 755 "$work/bin"
    install -m 755 "$1" "$work/bin/loopster"
    mkdir -m 700 "$work/home" "$work/runtime"
    chown nobody:nogroup "$work/home" "$work/runtime"
}

# Runs a command as nobody with a clean environment: that home and runtime folder, $work/bin on
# the PATH, the compositor's display when WAYLAND_NAME names one, and the given variables
# (NAME=value ...) before the command.
as_nobody() {
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env -i PATH="$work/bin:/usr/bin:/bin" HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" \
        ${WAYLAND_NAME:+WAYLAND_DISPLAY="$WAYLAND_NAME"} "$@"
}

# Sets `order` to the programs $2... in the order that round $1 (from 1) of an interleaved
# measurement runs them: each round starts one program further on, so that none always follows
# the same one.
round_order() {
    local round=$1 k
    shift
    local programs=("$@")
    order=()
    for ((k = 0; k < ${#programs[@]}; k++)); do
        order+=("${programs[$(((k + round - 1) % ${#programs[@]}))]}")
    done
}

# Waits up to 10 s until the server $2 has written its display number into the file $1 (its
# -displayfd), then exports DISPLAY. Fails when the server ends first or the time runs out.
wait_for_display() {
    local file=$1 pid=$2 i
    for i in $(seq 200); do
        if [ -s "$file" ]; then
            DISPLAY=":$(head -n 1 "$file")"
            export DISPLAY
            return 0
        fi
        if ! kill -0 "$pid" 2>/dev/null; then
            return 1
        fi
        sleep 0.05
    done
    return 1
}

# Starts Xvfb on the first free display with one screen of the given size (e.g. 1920x1080) and
# waits until it accepts clients. Sets XVFB_PID and exports DISPLAY. $2 is a folder for its files;
# further sizes add X screens 1, 2, ... of their own. XVFB_DEPTH sets the screens' depth (24).
start_private_xvfb() {
    local size=$1 dir=$2 depth=${XVFB_DEPTH:-24}
    shift 2
    local screens=(-screen 0 "${size}x$depth") number=1 extra
    for extra in "$@"; do
        screens+=(-screen "$number" "${extra}x$depth")
        number=$((number + 1))
    done
    : >"$dir/display"
    Xvfb -displayfd 3 "${screens[@]}" -nolisten tcp -noreset 3>"$dir/display" 2>"$dir/xvfb.log" &
    XVFB_PID=$!
    if wait_for_display "$dir/display" "$XVFB_PID"; then
        return 0
    fi
    echo "error: Xvfb did not start:" >&2
    cat "$dir/xvfb.log" >&2
    return 1
}

stop_private_xvfb() {
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    fi
}

# Starts Xorg with the dummy video driver (scripts/xorg-dummy.conf) on the first free display, for
# tests that need RandR monitors, and waits until it accepts clients. Sets XORG_PID and exports
# DISPLAY; fails when this machine cannot run Xorg (no driver, or not allowed to). $1 is a folder
# for its files.
start_private_xorg() {
    local dir=$1 here
    here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
    command -v Xorg >/dev/null || return 1
    : >"$dir/display"
    # -noreset: the monitors that xrandr sets live only as long as the server does not reset,
    # which it would when its last client leaves.
    Xorg -displayfd 3 -config "$here/xorg-dummy.conf" -sharevts -novtswitch -noreset \
        -nolisten tcp -logfile "$dir/xorg.log" 3>"$dir/display" >"$dir/xorg.out" 2>&1 &
    XORG_PID=$!
    if wait_for_display "$dir/display" "$XORG_PID"; then
        return 0
    fi
    kill "$XORG_PID" 2>/dev/null || true
    XORG_PID=
    return 1
}

stop_private_xorg() {
    if [ -n "${XORG_PID:-}" ]; then
        kill "$XORG_PID" 2>/dev/null || true
        wait "$XORG_PID" 2>/dev/null || true
        XORG_PID=
    fi
}

# Points HOME and the XDG folders into $1, so nothing touches the user's own files.
use_private_home() {
    local dir=$1
    mkdir -p "$dir/home" "$dir/config" "$dir/state" "$dir/cache" "$dir/runtime"
    chmod 700 "$dir/runtime"
    export HOME="$dir/home" XDG_CONFIG_HOME="$dir/config" XDG_STATE_HOME="$dir/state"
    export XDG_CACHE_HOME="$dir/cache" XDG_RUNTIME_DIR="$dir/runtime"
}

# Runs the command every 20 ms until it succeeds; fails after $1 seconds.
poll_until() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            return 1
        fi
        sleep 0.02
    done
}

# True when the screen shows a curve around its centre: the box around every pixel that is not
# black spans the screen's centre both ways. A curve need not touch the centre itself (many are
# rings), but each one is drawn around it. $1 is a scratch file for the screenshot.
centre_has_ink() {
    local file=$1
    # Eight bits a channel: ImageMagick may otherwise write 16-bit samples, six bytes a pixel.
    import -window root -depth 8 "ppm:$file" 2>/dev/null || return 1
    python3 "$private_xvfb_scripts/screenshot.py" centre "$file"
}

# True when the ink (pixels that are not black) inside the rectangle LEFT TOP WIDTH HEIGHT of the
# screenshot $1 lies around that rectangle's centre: its bounding box spans the centre both ways,
# as a curve centred on a monitor does. With "any" as $6, true when there is any ink there at all.
ink_in() {
    python3 "$private_xvfb_scripts/screenshot.py" ink "$@"
}

# Saves a screenshot of the whole X screen (DISPLAY, or $2 such as :5.1) as a binary PPM in $1.
shoot() {
    import -display "${2:-$DISPLAY}" -window root -depth 8 "ppm:$1" 2>/dev/null
}

# True when the screen (DISPLAY, or $4 such as :5.1) shows exactly the PNG $2 pixel for pixel;
# $1 and $3 are scratch files. What differs is said on stderr.
screen_is() {
    shoot "$1" "${4:-}" || return 1
    convert "$2" -depth 8 "ppm:$3" || return 1
    python3 "$private_xvfb_scripts/screenshot.py" same "$1" "$3"
}
screen_is_not() { ! screen_is "$@" 2>/dev/null; }
