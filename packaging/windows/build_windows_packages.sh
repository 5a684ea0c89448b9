#!/usr/bin/env bash
# Makes the two Windows packages from the 32-bit build's loopster.scr: the zip (the bare saver, the
# install text and the licence) and the NSIS installer. Both come out the same, byte for byte, from
# the same inputs: the zip's entries are sorted and dated SOURCE_DATE_EPOCH (the last commit's time
# when unset), and the installer keeps no file times.
#
# Usage: build_windows_packages.sh VERSION SCR INSTALL_TXT LICENSE_TXT OUTPUT_DIRECTORY
set -euo pipefail

if [ $# -ne 5 ]; then
    echo "usage: $0 VERSION SCR INSTALL_TXT LICENSE_TXT OUTPUT_DIRECTORY" >&2
    exit 2
fi
# makensis reads files relative to the script's folder: every path is made absolute first.
version=$1
scr=$(realpath "$2")
install_txt=$(realpath "$3")
license_txt=$(realpath "$4")
out=$(realpath -m "$5")
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$here" log -1 --format=%ct 2>/dev/null || echo 315532800)
fi
export SOURCE_DATE_EPOCH
mkdir -p "$out"

zip="$out/loopster-$version-windows.zip"
python3 - "$zip" "loopster-$version-windows" "$SOURCE_DATE_EPOCH" \
    "$install_txt" "$license_txt" "$scr" <<'PY'
import os
import sys
import time
import zipfile

zip_path, folder, epoch, *files = sys.argv[1:]
# Zip times are local-free calendar fields from 1980 on, in steps of two seconds.
stamp = max(int(epoch), 315532800)
date_time = time.gmtime(stamp - stamp % 2)[:6]
temporary = zip_path + ".part"
with zipfile.ZipFile(temporary, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
    for path in sorted(files, key=os.path.basename):
        entry = zipfile.ZipInfo(f"{folder}/{os.path.basename(path)}", date_time)
        entry.compress_type = zipfile.ZIP_DEFLATED
        entry.create_system = 0
        entry.external_attr = 0x20  # the archive attribute, as Windows' own zips have it
        with open(path, "rb") as source:
            archive.writestr(entry, source.read())
os.replace(temporary, zip_path)
PY
echo "made $zip"

setup="$out/loopster-$version-setup.exe"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSCR="$scr" -DLICENSE="$license_txt" \
    -DOUTFILE="$setup" "$here/loopster.nsi"
echo "made $setup"
