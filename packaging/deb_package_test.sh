#!/usr/bin/env bash
# The Debian packages as a user gets them (loopster, and loopster-lab apart): built from the source
# package by dpkg-buildpackage (the recipe of `make package`), all checked by lintian (no error and
# no warning, no hardening tag), what `apt show` says (a real maintainer address, the desktops),
# unpacked with dpkg-deb, its files checked with the tools that read them, and the packaged hack run
# under the real xscreensaver daemon and as the screensaver theme of MATE. The package's unit tests
# are skipped here (nocheck): they are the ones this ctest run has already run.
set -euo pipefail

source_dir=${1:?usage: deb_package_test.sh SOURCE_DIRECTORY VERSION}
version=${2:?usage: deb_package_test.sh SOURCE_DIRECTORY VERSION}
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

began=$(date +%s)
DEB_BUILD_OPTIONS="nocheck parallel=2" "$source_dir/packaging/build_deb.sh" "$out/work" "$out" ||
    fail "the source package did not build"
deb="$out/loopster_${version}_amd64.deb"
lab_deb="$out/loopster-lab_${version}_amd64.deb"
for file in "$deb" "$lab_deb"; do
    [ -f "$file" ] || fail "no $(basename "$file") among: $(ls "$out")"
done
echo "ok: built $(basename "$deb") ($(stat -c %s "$deb") bytes) and $(basename "$lab_deb")" \
    "($(stat -c %s "$lab_deb") bytes) in $(($(date +%s) - began)) s"

# Errors and warnings fail, on the source package as on the binary one; so does any hardening tag
# (the flags of dpkg-buildflags must reach the compiler and the linker).
lintian --display-info "$out/work/loopster_${version}.dsc" "$deb" "$lab_deb" >"$out/lintian.log" 2>&1 ||
    true
if grep -E '^(E|W):' "$out/lintian.log" >&2; then
    fail "lintian reports errors or warnings"
fi
if grep -E 'hardening-' "$out/lintian.log" >&2; then
    fail "lintian reports missing hardening"
fi
echo "ok: lintian on the .dsc and both .deb files: no error, no warning, no hardening tag" \
    "($(grep -c '^I:' "$out/lintian.log" || true) informational tags)"

fields=$(dpkg-deb --field "$deb" Package Version Section Depends Recommends Enhances)
grep -qx "Version: $version" <<<"$fields" || fail "the package version is not $version"
grep -q '^Depends: .*libqt6widgets6' <<<"$fields" || fail "no shared-library dependencies: $fields"
grep -qx 'Enhances: xscreensaver' <<<"$fields" || fail "the package does not enhance xscreensaver"
grep -qx 'Recommends: qt6-wayland' <<<"$fields" || fail "the package does not recommend qt6-wayland"
# The encoders belong to the lab alone.
grep -Eq '^Depends: .*(libwebp|libgif)' <<<"$fields" && fail "the saver depends on an encoder: $fields"
lab_fields=$(dpkg-deb --field "$lab_deb" Depends Suggests)
grep -q '^Depends: .*libwebp.*' <<<"$lab_fields" && grep -q '^Depends: .*libgif' <<<"$lab_fields" ||
    fail "loopster-lab does not depend on its encoders: $lab_fields"
# What apt show says: a maintainer one can write to, and the desktops it serves.
maintainer=$(dpkg-deb --field "$deb" Maintainer)
grep -Eqx '[^<]+ <[^@ ]+@[a-z0-9.-]+\.(com|org|net)>' <<<"$maintainer" && ! grep -q example <<<"$maintainer" ||
    fail "the maintainer is a placeholder: $maintainer"
description=$(dpkg-deb --field "$deb" Description)
for word in X11 Wayland xscreensaver MATE loopster-xscreensaver-add; do
    grep -q "$word" <<<"$description" || fail "the description does not mention $word"
done

# Every file of the package as the earlier recipe laid it out, with its mode; more may come.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $6 }' >"$out/contents"
missing=0
while read -r mode file; do
    grep -qxF -- "$mode ./$file" "$out/contents" || { echo "missing: $mode $file" >&2; missing=1; }
done <<'LIST'
-rwxr-xr-x usr/bin/loopster
-rwxr-xr-x usr/bin/loopster-xscreensaver-add
-rwxr-xr-x usr/libexec/xscreensaver/loopster
-rw-r--r-- usr/share/applications/loopster.desktop
-rw-r--r-- usr/share/applications/screensavers/loopster.desktop
-rw-r--r-- usr/share/doc/loopster/changelog.gz
-rw-r--r-- usr/share/doc/loopster/copyright
-rw-r--r-- usr/share/icons/hicolor/scalable/apps/loopster.svg
-rw-r--r-- usr/share/man/man1/loopster.1.gz
-rw-r--r-- usr/share/man/man1/loopster-xscreensaver-add.1.gz
-rw-r--r-- usr/share/man/man6/loopster.6x.gz
-rw-r--r-- usr/share/xscreensaver/config/loopster.xml
LIST
[ "$missing" -eq 0 ] || fail "dpkg-deb -c lacks files of the package; it holds: $(cat "$out/contents")"
grep -q loopster-lab "$out/contents" && fail "the saver's package holds the lab"
dpkg-deb -c "$lab_deb" | awk '$1 !~ /^d/ { print $1, $6 }' >"$out/lab-contents"
for line in '-rwxr-xr-x ./usr/bin/loopster-lab' '-rw-r--r-- ./usr/share/man/man1/loopster-lab.1.gz' \
    '-rw-r--r-- ./usr/share/doc/loopster-lab/copyright'; do
    grep -qxF -- "$line" "$out/lab-contents" || fail "loopster-lab lacks $line: $(cat "$out/lab-contents")"
done
echo "ok: every file is in its package"

root="$out/root"
dpkg-deb -x "$deb" "$root"
dpkg-deb -x "$lab_deb" "$root"
"$root/usr/bin/loopster-lab" --version | grep -qx "loopster-lab $version" ||
    fail "the packaged lab's --version: $("$root/usr/bin/loopster-lab" --version)"
"$root/usr/bin/loopster" --version | grep -qx "loopster $version" || fail "the packaged saver's --version"
"$root/usr/bin/loopster-lab" curve 500 200 100 0 -100 | grep -q '"PointCount": 200' ||
    fail "the packaged lab does not trace a curve"
grep -q '^License: Expat' "$root/usr/share/doc/loopster/copyright" ||
    fail "the copyright file does not name the licence"

# The settings dialog of xscreensaver-settings: its command and the options it passes.
xml="$root/usr/share/xscreensaver/config/loopster.xml"
xmllint --noout "$xml" || fail "the xscreensaver dialog is not well-formed XML"
for text in 'name="loopster"' 'arg="--root"' 'arg="--rate %"' 'low="5" high="100"' \
    'arg-set="--light"' 'arg-set="--heavy"'; do
    grep -qF "$text" "$xml" || fail "the xscreensaver dialog lacks $text"
done
# Debian's own screen-saver entries draw the same hint (no main category); errors fail.
desktop-file-validate "$root/usr/share/applications/screensavers/loopster.desktop" >/dev/null ||
    fail "the screen-saver entry is invalid"
grep -qx 'Exec=/usr/libexec/xscreensaver/loopster --root' \
    "$root/usr/share/applications/screensavers/loopster.desktop" ||
    fail "the screen-saver entry does not start the installed hack"
# mate-screensaver and xfce4-screensaver both read it.
grep -qx 'OnlyShowIn=MATE;XFCE;' "$root/usr/share/applications/screensavers/loopster.desktop" ||
    fail "the screen-saver entry is not shown by both MATE and XFCE"
for page in man1/loopster.1.gz man1/loopster-xscreensaver-add.1.gz man1/loopster-lab.1.gz \
    man6/loopster.6x.gz; do
    zcat "$root/usr/share/man/$page" | groff -man -Tutf8 -ww >/dev/null 2>"$out/groff.log"
    [ ! -s "$out/groff.log" ] || fail "$page has warnings: $(cat "$out/groff.log")"
done
echo "ok: the dialog XML, the desktop entries and the manual pages read cleanly"

"$here/../hosts/xscreensaver/daemon_e2e_test.sh" "$root/usr/libexec/xscreensaver/loopster" \
    "$root/usr/bin/loopster-lab"
echo "ok: the packaged hack runs under the daemon"
"$here/../hosts/xscreensaver/add_to_list_test.sh" "$root/usr/bin/loopster-xscreensaver-add" \
    "$root/usr/libexec/xscreensaver/loopster"
echo "ok: the packaged loopster-xscreensaver-add puts loopster on the daemon's list"
"$here/mate_test.sh" "$root"
