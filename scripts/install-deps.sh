#!/usr/bin/env bash
# Installs the Debian packages that building and testing loopster need, when any is missing.
# Runs as root (apt-get); on a machine that has everything it does nothing.
#
# Usage: install-deps.sh [run]
#   run   only what building and running the Linux saver needs (`make run`): the compiler, Qt
#         (with its private headers), the X and Wayland client libraries, the lab's encoders (make
#         run draws an animation with it) and the virtual screen it runs on without a display; no
#         Windows, Wine or Wayland compositor package.
#   With no argument, everything that `make test` and `make package` need as well.
set -euo pipefail

run_packages=(
    cmake make g++ pkg-config libgtest-dev
    qt6-base-dev libgl-dev libxcb1-dev libxcb-shm0-dev libwayland-dev qt6-base-private-dev
    libwebp-dev libgif-dev
    xvfb xdotool x11-utils imagemagick python3
)
packages=(
    "${run_packages[@]}"
    libgmock-dev googletest libbenchmark-dev
    clang libclang-rt-14-dev clang-format
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    wine64 wine32:i386 fonts-wine
    xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
    desktop-file-utils libxml2-utils groff-base
    webp
    xscreensaver dpkg-dev file lintian
    sway swayidle swaylock weston grim qt6-wayland mate-screensaver dbus dbus-bin
    libglib2.0-bin dconf-gsettings-backend procps
    debhelper nsis libfaketime git
    # The web page: the compiler (its optimiser needs acorn), and the browser its test drives.
    emscripten node-acorn chromium
)
case ${1-} in
run) packages=("${run_packages[@]}") ;;
"") ;;
*)
    echo "usage: $0 [run]" >&2
    exit 2
    ;;
esac

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "error: installing packages needs root; run as root or install them yourself." >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
# The shipped loopster.scr is a 32-bit program: 64-bit Wine runs it only with its 32-bit half,
# which Debian packages for the i386 architecture.
if [[ " ${missing[*]} " == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
