#!/usr/bin/env bash
# Runs the gdi32 pixel dump (gdi_pixels.exe) under Wine for the Linux build's pixel check: the
# 32-bit build where this machine runs 32-bit programs, else the 64-bit one (the same drawing
# code). The program opens no window, so no X display is needed. The Wine prefix is the caller's
# (created on first use, kept for later runs); runs on one prefix are serialised, and each ends by
# stopping that prefix's own wine server.
#
# Usage: gdi_pixels_run.sh PREFIX EXE_I686 EXE_X64 IN OUT   (IN and OUT relative to the current
# folder, which Wine maps to a drive of its own)
set -euo pipefail

if [ $# -ne 5 ]; then
    echo "usage: $0 PREFIX EXE_I686 EXE_X64 IN OUT" >&2
    exit 2
fi
prefix=$1
exe32=$2
exe64=$3
input=$4
output=$5

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9

wine=
exe=
# A 32-bit program that the kernel cannot start (no 32-bit support) fails before Wine runs.
if [ -f "$exe32" ] && [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
    wine=/usr/lib/wine/wine
    exe=$exe32
elif [ -f "$exe64" ] && [ -x /usr/lib/wine/wine64 ]; then
    wine=/usr/lib/wine/wine64
    exe=$exe64
else
    echo "no gdi_pixels.exe that Wine can run here: $exe32, $exe64" >&2
    exit 77
fi
echo "drawing with $exe under $wine" >&2

cleanup() { /usr/lib/wine/wineserver -k 2>/dev/null || true; }
trap cleanup EXIT
"$wine" "$exe" "$input" "$output"
