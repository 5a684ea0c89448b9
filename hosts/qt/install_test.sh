#!/usr/bin/env bash
# What `cmake --install` lays out under a prefix: the executables, which still run from there and
# answer --help and --version as their manual pages say, the manual pages, the menu entry and its
# icon, each checked with the tool that reads it.
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
    share/icons/hicolor/scalable/apps/loopster.svg bin/loopster-lab share/man/man1/loopster-lab.1 \
    bin/loopster-xscreensaver-add share/man/man1/loopster-xscreensaver-add.1 \
    libexec/xscreensaver/loopster share/man/man6/loopster.6x; do
    [ -f "$prefix/$file" ] || fail "$file was not installed"
done
for program in bin/loopster bin/loopster-lab bin/loopster-xscreensaver-add \
    libexec/xscreensaver/loopster; do
    [ -x "$prefix/$program" ] || fail "$program is not executable"
done

# Help and version on stdout with status 0, without a display; the usage lists the forms of the
# manual page's synopsis, and nothing else.
synopsis() {
    groff -man -Tutf8 -P-cbou "$1" 2>/dev/null | sed -n '/^SYNOPSIS/,/^DESCRIPTION/p' |
        grep -Eo -- '(--?[a-z-]+|/[a-z]+)' | grep -v -e '^/usr' -e '^/libexec' | sort -u
}
usage_words() { grep -Eo -- '(--?[a-z-]+|/[a-z]+)' | grep -v -e '^/usr' -e '^/libexec' | sort -u; }
for entry in "bin/loopster man1/loopster.1" "libexec/xscreensaver/loopster man6/loopster.6x" \
    "bin/loopster-lab man1/loopster-lab.1" \
    "bin/loopster-xscreensaver-add man1/loopster-xscreensaver-add.1"; do
    read -r program page <<<"$entry"
    for option in --help -h; do
        usage=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/$program" "$option" 2>"$prefix/err") ||
            fail "$program $option: status $?"
        [ ! -s "$prefix/err" ] || fail "$program $option wrote to stderr: $(cat "$prefix/err")"
        grep -q '^Usage: ' <<<"$usage" || fail "$program $option: $usage"
    done
    diff <(synopsis "$prefix/share/man/$page") <(sed -n '/^Usage/,/^$/p' <<<"$usage" | usage_words) ||
        fail "the usage of $program and the synopsis of $page differ"
    [ "$program" = bin/loopster-xscreensaver-add ] && continue
    version=$(env -u DISPLAY "$prefix/$program" --version) || fail "$program --version: status $?"
    grep -Eqx "loopster(-lab)? [0-9]+\.[0-9]+\.[0-9]+" <<<"$version" ||
        fail "$program --version: $version"
done
echo "ok: --help, -h and --version of every program, the usage as the synopsis"

# With no argument the saver does nothing, as on Windows, but says so.
code=0
env -u DISPLAY "$prefix/bin/loopster" >"$prefix/out" 2>"$prefix/err" || code=$?
[ "$code" -eq 0 ] && [ ! -s "$prefix/out" ] && [ "$(wc -l <"$prefix/err")" -eq 1 ] &&
    grep -q '/s runs the saver, /c opens its settings' "$prefix/err" ||
    fail "no argument: status $code, stderr: $(cat "$prefix/err")"
echo "ok: with no argument it says in one line that it does nothing"

# Installed under a prefix, loopster-xscreensaver-add names the hack there by its full path,
# since the daemon looks in /usr/libexec/xscreensaver only.
mkdir -m 700 "$prefix/fresh"
HOME="$prefix/fresh" "$prefix/bin/loopster-xscreensaver-add" >/dev/null ||
    fail "loopster-xscreensaver-add on a fresh home: status $?"
grep -q "^	*$prefix/libexec/xscreensaver/loopster --root	" "$prefix/fresh/.xscreensaver" ||
    fail "loopster-xscreensaver-add does not name the hack by its path under the prefix"
echo "ok: loopster-xscreensaver-add names the hack under the prefix by its full path"

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
for manual in man1/loopster.1 man1/loopster-lab.1 man1/loopster-xscreensaver-add.1 man6/loopster.6x; do
    page=$(groff -man -Tutf8 -ww -P-cbou "$prefix/share/man/$manual" 2>"$prefix/groff.log")
    [ ! -s "$prefix/groff.log" ] || fail "$manual has warnings: $(cat "$prefix/groff.log")"
    for heading in NAME SYNOPSIS 'EXIT STATUS'; do
        grep -q "^$heading" <<<"$page" || fail "$manual has no $heading section"
    done
done
page=$(groff -man -Tutf8 -P-cbou "$prefix/share/man/man1/loopster.1")
for heading in OPTIONS FILES; do
    grep -q "^$heading" <<<"$page" || fail "the manual page has no $heading section"
done
# Page 1 is what xscreensaver-settings' Documentation button opens for the hack: it must lead to
# page 6x; and it says what the saver does with a new monitor.
grep -q 'man 6x loopster' <<<"$page" || fail "loopster(1) does not point to page 6x"
grep -q 'covered within a second' <<<"$(tr -s ' \n' ' ' <<<"$page")" ||
    fail "loopster(1) does not say a new monitor is covered within a second"

echo "install layout: ok"
