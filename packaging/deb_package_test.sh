#!/usr/bin/env bash
# The Debian package as a user gets it: built by CPack from the release build, checked by lintian
# (no error and no warning), unpacked with dpkg-deb, its files checked with the tools that read
# them, and the packaged hack run under the real xscreensaver daemon and as the screensaver theme of
# MATE.
set -euo pipefail

build=${1:?usage: deb_package_test.sh BUILD_DIRECTORY}
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log" >&2; fail "cpack did not build the package"; }
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb="$out/loopster_${version}_amd64.deb"
[ -f "$deb" ] || fail "no $(basename "$deb") among: $(ls "$out")"
echo "ok: built $(basename "$deb") ($(stat -c %s "$deb") bytes)"

# Informational tags stay (the hardening hints, a false spelling match across two strings), as
# they do for many packages in Debian itself; errors and warnings fail.
lintian --display-info "$deb" >"$out/lintian.log" 2>&1 || true
if grep -E '^(E|W):' "$out/lintian.log" >&2; then
    fail "lintian reports errors or warnings"
fi
echo "ok: lintian: no error, no warning ($(grep -c '^I:' "$out/lintian.log" || true) informational tags)"

fields=$(dpkg-deb --field "$deb" Package Version Section Depends Recommends Enhances)
grep -qx "Version: $version" <<<"$fields" || fail "the package version is not $version"
grep -q '^Depends: .*libqt6widgets6' <<<"$fields" || fail "no shared-library dependencies: $fields"
grep -qx 'Enhances: xscreensaver' <<<"$fields" || fail "the package does not enhance xscreensaver"
# A Wayland session needs Qt's Wayland plugin, which Debian ships apart from Qt itself.
grep -q '^Recommends: .*qt6-wayland' <<<"$fields" || fail "the package does not recommend qt6-wayland"

root="$out/root"
dpkg-deb -x "$deb" "$root"
for file in usr/bin/loopster usr/libexec/xscreensaver/loopster \
    usr/share/xscreensaver/config/loopster.xml \
    usr/share/applications/loopster.desktop usr/share/applications/screensavers/loopster.desktop \
    usr/share/man/man1/loopster.1.gz usr/share/man/man6/loopster.6x.gz \
    usr/share/icons/hicolor/scalable/apps/loopster.svg \
    usr/share/doc/loopster/copyright usr/share/doc/loopster/changelog.gz; do
    [ -f "$root/$file" ] || fail "$file is not in the package"
done
echo "ok: every file is in the package"

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
for page in man1/loopster.1.gz man6/loopster.6x.gz; do
    zcat "$root/usr/share/man/$page" | groff -man -Tutf8 -ww >/dev/null 2>"$out/groff.log"
    [ ! -s "$out/groff.log" ] || fail "$page has warnings: $(cat "$out/groff.log")"
done
echo "ok: the dialog XML, the desktop entries and the manual pages read cleanly"

"$here/../platform/xscreensaver/daemon_e2e_test.sh" "$root/usr/libexec/xscreensaver/loopster"
echo "ok: the packaged hack runs under the daemon"
"$here/mate_test.sh" "$root"
