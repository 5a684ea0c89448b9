#!/usr/bin/env bash
# Makes hosts/win32/loopster.ico from the desktop icon (hosts/qt/share/loopster.svg): the sizes
# Windows asks for (16, 24, 32 and 48 px, and 256 px for large views), each drawn from the curve
# itself rather than scaled from a larger picture, with the stroke kept at least a pixel wide. The
# icon is committed; run this after changing the SVG. ImageMagick draws through its own vector
# language, which needs no SVG library. Every image is stored PNG-compressed (Windows reads that
# since Vista), the 256 px one with a palette, so the five sizes cost the saver about 8 KB.
#
# Usage: make_icon.sh [SVG] [ICO]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
svg=${1:-$here/../qt/share/loopster.svg}
ico=${2:-$here/loopster.ico}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

images=()
for size in 16 24 32 48 256; do
    drawing=$(python3 - "$svg" "$size" <<'PY'
import re
import sys
import xml.etree.ElementTree as tree

path, size = sys.argv[1], int(sys.argv[2])
ns = {"svg": "http://www.w3.org/2000/svg"}
root = tree.parse(path).getroot()
scale = size / float(root.get("viewBox").split()[2])
rect = root.find("svg:rect", ns)
line = root.find("svg:polyline", ns)
stroke = max(float(line.get("stroke-width")), 1.1 / scale)
radius = float(rect.get("rx", "0"))
print(f"affine {scale} 0 0 {scale} 0 0")
print(f"fill '{rect.get('fill')}' stroke none")
print(f"roundrectangle 0,0 {float(rect.get('width')) - 0.01},{float(rect.get('height')) - 0.01} "
      f"{radius},{radius}")
print(f"fill none stroke '{line.get('stroke')}' stroke-width {stroke} stroke-linejoin round")
print("polyline " + " ".join(re.split(r"\s+", line.get("points").strip())))
PY
    )
    format=PNG32
    [ "$size" -lt 256 ] || format=PNG8
    convert -size "${size}x$size" xc:none -draw "$drawing" -strip \
        -define png:exclude-chunks=date,time "$format:$work/$size.png"
    images+=("$work/$size.png")
done

# The icon file: a directory of one entry per image, then the PNG files as they are.
python3 - "$ico" "${images[@]}" <<'PY'
import struct
import sys

ico, *paths = sys.argv[1:]
blobs = [open(path, "rb").read() for path in paths]
header = struct.pack("<HHH", 0, 1, len(blobs))
offset = len(header) + 16 * len(blobs)
entries = b""
for blob in blobs:
    width, height = struct.unpack(">II", blob[16:24])
    entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(blob), offset)
    offset += len(blob)
with open(ico, "wb") as out:
    out.write(header + entries + b"".join(blobs))
PY
identify "$ico"
