#!/usr/bin/env bash
# Builds the packages of the last commit twice, in two folders of different names and at two
# different times, without ccache (a cached object would hide a difference), and compares the
# .deb, the .scr, the zip and the installer byte for byte. On a difference it runs diffoscope when
# installed. The folders are kept in WORKDIR when one is named; a temporary one goes at the end.
#
# Usage: reproducible_check.sh [WORKDIR]
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -ge 1 ]; then
    work=$1
    mkdir -p "$work"
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi
work=$(cd "$work" && pwd)
export CCACHE_DISABLE=1
unset CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER

# One commit for both builds, even when new ones arrive meanwhile.
commit=$(git -C "$source_dir" rev-parse HEAD)
began=$(date +%s)
for name in first/loopster second/elsewhere-with-a-longer-name; do
    tree="$work/$name"
    rm -rf "$tree"
    git clone --quiet --no-hardlinks "$source_dir" "$tree"
    git -C "$tree" checkout --quiet --detach "$commit"
    echo "building in $tree"
    (cd "$tree" && unset SOURCE_DATE_EPOCH && make --no-print-directory package) >"$tree.log" 2>&1 ||
        { tail -n 40 "$tree.log" >&2; echo "FAIL: make package failed in $tree" >&2; exit 1; }
    # Whole seconds apart at least: a time stamp that leaks shows.
    sleep 2
done
echo "two builds in $(($(date +%s) - began)) s"

failures=0
first=$work/first/loopster
second=$work/second/elsewhere-with-a-longer-name
for file in $(cd "$first" && ls build/packages/* build/mingw-i686-release/hosts/win32/loopster.scr); do
    if cmp -s "$first/$file" "$second/$file"; then
        echo "same: $file ($(sha256sum <"$first/$file" | cut -c1-16))"
    else
        echo "DIFFERENT: $file" >&2
        failures=$((failures + 1))
        if command -v diffoscope >/dev/null; then
            diffoscope "$first/$file" "$second/$file" >&2 || true
        fi
    fi
done
[ "$failures" -eq 0 ] || { echo "FAIL: $failures file(s) differ" >&2; exit 1; }
echo "ok: two builds of ${commit:0:12} give the same bytes"
