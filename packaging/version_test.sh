#!/usr/bin/env bash
# The version of the project (the top CMakeLists.txt) and of the Debian package (debian/changelog)
# are one: a release that bumps one and not the other fails here.
set -euo pipefail
source_dir=${1:?usage: version_test.sh SOURCE_DIRECTORY CMAKE_VERSION}
cmake_version=${2:?usage: version_test.sh SOURCE_DIRECTORY CMAKE_VERSION}
deb_version=$(dpkg-parsechangelog -l "$source_dir/debian/changelog" -S Version)
if [ "$deb_version" != "$cmake_version" ]; then
    echo "FAIL: debian/changelog is at $deb_version, CMakeLists.txt at $cmake_version" >&2
    exit 1
fi
echo "ok: debian/changelog and CMakeLists.txt both at $cmake_version"
