#!/usr/bin/env bash
# Builds the Debian source package and, from it, loopster_<version>_amd64.deb and
# loopster-lab_<version>_amd64.deb, as a distribution would: the tracked files of the work tree are
# copied into a clean folder, dpkg-source makes the .dsc, and dpkg-buildpackage builds the binary
# packages there (never in the work tree, whose build/ folders belong to the CMake presets).
# SOURCE_DATE_EPOCH is the last commit's time, so two builds of one commit give the same .deb files.
#
# Usage: build_deb.sh WORK_DIRECTORY OUTPUT_DIRECTORY
#   WORK_DIRECTORY is deleted and created again; it keeps the source package, the build logs and
#   lintian's input. The .deb files are copied to OUTPUT_DIRECTORY. DEB_BUILD_OPTIONS passes
#   through (nocheck skips the unit tests, parallel=N sets the jobs).
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 WORK_DIRECTORY OUTPUT_DIRECTORY" >&2
    exit 2
fi
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$1
out=$2

version=$(dpkg-parsechangelog -l "$source_dir/debian/changelog" -S Version)
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null ||
        dpkg-parsechangelog -l "$source_dir/debian/changelog" -S Timestamp)
fi
export SOURCE_DATE_EPOCH

rm -rf "$work"
mkdir -p "$work" "$out"
work=$(cd "$work" && pwd)
out=$(cd "$out" && pwd)
tree="$work/loopster-$version"
mkdir "$tree"
# The tracked files as they are in the work tree (edits not yet committed included), nothing else.
git -C "$source_dir" ls-files -z --cached | while IFS= read -r -d '' file; do
    if [ -e "$source_dir/$file" ] || [ -L "$source_dir/$file" ]; then
        printf '%s\0' "$file"
    fi
done | tar -C "$source_dir" --null -T - -cf - | tar -C "$tree" -xf -

cd "$work"
dpkg-source --build "loopster-$version" >source.log 2>&1 ||
    { cat source.log >&2; echo "dpkg-source failed" >&2; exit 1; }
(cd "$tree" && dpkg-buildpackage -us -uc -b) >build.log 2>&1 ||
    { tail -n 60 build.log >&2; echo "dpkg-buildpackage failed; the log is $work/build.log" >&2; exit 1; }
for package in loopster loopster-lab; do
    deb="${package}_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb"
    cp "$deb" "$out/"
    echo "made $out/$deb"
done
