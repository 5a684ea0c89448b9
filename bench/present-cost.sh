#!/usr/bin/env bash
# What putting frames to an X window costs, the same frames every time: runs bench/present_bench
# (the densest and a typical curve, 30 fps, two-pixel pen, drawn as the saver's X11 presenter does)
# on a private Xvfb of each size. A measuring script, not a test: it asserts nothing.
#
#   bench/present-cost.sh [PRESENT_BENCH [--no-put] [--no-wait]]
#
# PRESENT_BENCH defaults to build/linux-release/bench/present_bench; the flags go to it.
# SIZES (default "1920x1080 3840x2160") and ROUNDS (default 3) change what is run.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$here/..
# shellcheck source=../scripts/e2e-lib.sh
. "$root/scripts/e2e-lib.sh"

bench=${1:-$root/build/linux-release/bench/present_bench}
shift || true
sizes=${SIZES:-1920x1080 3840x2160}
rounds=${ROUNDS:-3}
[ -x "$bench" ] || { echo "error: no $bench; build linux-release" >&2; exit 1; }

begin_work
for ((round = 1; round <= rounds; round++)); do
    for size in $sizes; do
        start_private_xvfb "$size" "$work"
        echo "round $round of $rounds"
        "$bench" "$XVFB_PID" "$@"
        stop_private_xvfb
    done
done
