#!/usr/bin/env bash
# What `cmake --install` lays out under a prefix: the executable, which still runs from there, the
# manual page, the menu entry and its icon, each checked with the tool that reads it.
set -euo pipefail

build=${1:?usage: install_test.sh BUILD_DIRECTORY}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/loopster share/man/man1/loopster.1 share/applications/loopster.desktop \
    share/icons/hicolor/scalable/apps/loopster.svg; do
    [ -f "$prefix/$file" ] || fail "$file was not installed"
done
[ -x "$prefix/bin/loopster" ] || fail "bin/loopster is not executable"

# A command line that is neither saver nor settings ends at once, touching nothing.
home="$prefix/home"
mkdir -m 700 "$home"
HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_STATE_HOME="$home/state" \
    XDG_RUNTIME_DIR="$home" QT_QPA_PLATFORM=offscreen timeout 20 "$prefix/bin/loopster" /p 1234 ||
    fail "the installed loopster did not end cleanly on /p 1234"
[ ! -e "$home/config" ] && [ ! -e "$home/state" ] || fail "/p 1234 wrote files"

# desktop-file-validate prints hints as well as errors; any output is a fault to fix.
problems=$(desktop-file-validate "$prefix/share/applications/loopster.desktop" 2>&1) ||
    fail "the menu entry is invalid: $problems"
[ -z "$problems" ] || fail "the menu entry has problems: $problems"
grep -qx 'Exec=loopster /c' "$prefix/share/applications/loopster.desktop" ||
    fail "the menu entry does not open the settings"
grep -qx 'Icon=loopster' "$prefix/share/applications/loopster.desktop" ||
    fail "the menu entry does not name the installed icon"

xmllint --noout "$prefix/share/icons/hicolor/scalable/apps/loopster.svg" ||
    fail "the icon is not well-formed SVG"

# groff warns on stderr about anything it had to guess at.
page=$(groff -man -Tutf8 -ww -P-cbou "$prefix/share/man/man1/loopster.1" 2>"$prefix/groff.log")
[ ! -s "$prefix/groff.log" ] || fail "the manual page has warnings: $(cat "$prefix/groff.log")"
for heading in NAME SYNOPSIS OPTIONS FILES 'EXIT STATUS'; do
    grep -q "^$heading" <<<"$page" || fail "the manual page has no $heading section"
done

echo "install layout: ok"
