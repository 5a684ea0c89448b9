#!/usr/bin/env bash
# Makes the README's animated preview from a build folder:
#
#   scripts/doc-animation.sh build/linux-release
#
# writes docs/images/loopster-preview.webp: six seconds of the saver at 480x270 with heavy lines,
# from a fixed seed, so that the same build makes the same file.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: doc-animation.sh BUILD_DIR}
lab="$build/tools/loopster-lab"
if [ ! -x "$lab" ]; then
    echo "error: $lab is missing; build first" >&2
    exit 1
fi

"$lab" animate --seed 1 --seconds 6 --size 480x270 --fps 30 --heavy \
    --out "$here/../docs/images/loopster-preview.webp" >/dev/null
echo "Wrote docs/images/loopster-preview.webp"
