# Shell helpers for running loopster on a private X server; sourced by run-saver.sh, the saver's
# end-to-end test and the saver's measuring script.

# Starts Xvfb on the first free display with one screen of the given size (e.g. 1920x1080) and
# waits until it accepts clients. Sets XVFB_PID and exports DISPLAY. $2 is a folder for its files.
# Further sizes after it add X screens 1, 2, ... of those sizes.
start_private_xvfb() {
    local size=$1 dir=$2
    shift 2
    local screens=(-screen 0 "${size}x24") number=1 more
    for more in "$@"; do
        screens+=(-screen "$number" "${more}x24")
        number=$((number + 1))
    done
    : >"$dir/display"
    Xvfb -displayfd 3 "${screens[@]}" -nolisten tcp -noreset 3>"$dir/display" 2>"$dir/xvfb.log" &
    XVFB_PID=$!
    local i
    for i in $(seq 200); do
        if [ -s "$dir/display" ]; then
            DISPLAY=":$(head -n 1 "$dir/display")"
            export DISPLAY
            return 0
        fi
        if ! kill -0 "$XVFB_PID" 2>/dev/null; then
            break
        fi
        sleep 0.05
    done
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
    python3 - "$file" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
# A binary PPM: "P6", width, height, maximum value, one blank, then RGB triples.
fields, pos = [], 0
while len(fields) < 4:
    while data[pos:pos + 1].isspace():
        pos += 1
    end = pos
    while not data[end:end + 1].isspace():
        end += 1
    fields.append(data[pos:end])
    pos = end
pos += 1
width, height = int(fields[1]), int(fields[2])
left, right, top, bottom = width, -1, height, -1
for y in range(height):
    row = data[pos + y * width * 3:pos + (y + 1) * width * 3]
    first = len(row) - len(row.lstrip(b"\0"))
    if first == len(row):
        continue
    last = len(row.rstrip(b"\0")) - 1
    left, right = min(left, first // 3), max(right, last // 3)
    top, bottom = min(top, y), max(bottom, y)
sys.exit(0 if left <= width // 2 <= right and top <= height // 2 <= bottom else 1)
PY
}
