#!/usr/bin/env bash
# The Windows zip as a user gets it: built by CPack from the Windows build, holding loopster.scr
# exactly as built and the install text with CR LF line ends and the project's version.
set -euo pipefail

build=${1:?usage: windows_zip_test.sh BUILD_DIRECTORY PATH_TO_SCR}
scr=${2:?usage: windows_zip_test.sh BUILD_DIRECTORY PATH_TO_SCR}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

cpack --config "$build/CPackConfig.cmake" -G ZIP -B "$out" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log" >&2; echo "FAIL: cpack did not build the zip" >&2; exit 1; }
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
python3 - "$out/loopster-$version-windows.zip" "$scr" "$version" <<'PY'
import sys
import zipfile

path, scr, version = sys.argv[1:]
folder = f"loopster-{version}-windows/"
with zipfile.ZipFile(path) as archive:
    names = sorted(archive.namelist())
    expected = [folder + "INSTALL.txt", folder + "loopster.scr"]
    if names != expected:
        sys.exit(f"FAIL: the zip holds {names}, not {expected}")
    if archive.read(folder + "loopster.scr") != open(scr, "rb").read():
        sys.exit("FAIL: loopster.scr in the zip is not the one built")
    text = archive.read(folder + "INSTALL.txt")
lines = text.split(b"\n")
if lines[-1] != b"" or any(not line.endswith(b"\r") for line in lines[:-1]):
    sys.exit("FAIL: INSTALL.txt does not end every line with CR LF")
if f"loopster {version} for Windows".encode() not in text or b"SysWOW64" not in text:
    sys.exit("FAIL: INSTALL.txt does not name the version and where to copy the saver")
print(f"ok: {path.split('/')[-1]} holds loopster.scr as built and INSTALL.txt with CR LF")
PY
