#!/usr/bin/env bash
# Builds the Windows packages from a build folder and tries them as a user
# would: the zip holds both programs and the licence; the installer, run
# silently under wine, puts them in Program Files with a Start-menu entry
# that leads to the window program and an uninstaller, its finish page
# offers to start the window, both programs carry their version record, and
# the installed kovarim-cli.exe works; the uninstaller takes them away
# again and leaves no registry key behind.
#
#   installer_test.sh <build folder>
# WINEPREFIX names the wine prefix; needs cpack and makensis (nsis); exits
# 77 (skipped) without them.
set -euo pipefail
for tool in cpack makensis wine; do
    command -v "$tool" >/dev/null || { echo "skipped: no $tool"; exit 77; }
done
: "${WINEPREFIX:?WINEPREFIX must name the wine prefix}"
export WINEDEBUG=-all
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
installer=$work/kovarim-1.00-win64.exe
zip=$work/kovarim-1.00-win64.zip
[ -s "$installer" ] || fail "no kovarim-1.00-win64.exe"
[ -s "$zip" ] || fail "no kovarim-1.00-win64.zip"
listing=$(cmake -E tar tf "$zip" | sort | tr '\n' ' ')
[ "$listing" = "LICENSE.txt kovarim-cli.exe kovarim.exe " ] || fail "the zip holds: $listing"

folder="$WINEPREFIX/drive_c/Program Files/Kovarim"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kovarim1.0"
wine "$installer" /S </dev/null >/dev/null 2>&1
for file in kovarim.exe kovarim-cli.exe LICENSE.txt Uninstall.exe; do
    [ -f "$folder/$file" ] || fail "the installer did not put $file in place"
done
[ -f "$menu/Kovarim1.0.lnk" ] || fail "no Start-menu entry: $(ls "$menu" 2>&1)"
# The entry's target, as the shell link's LinkInfo names it.
target=$(/usr/bin/python3 - "$menu/Kovarim1.0.lnk" <<'PY'
import struct, sys
link = open(sys.argv[1], 'rb').read()
flags = struct.unpack_from('<I', link, 0x14)[0]
at = 0x4C
if flags & 1:  # a target ID list comes first
    at += 2 + struct.unpack_from('<H', link, at)[0]
if flags & 2:  # the LinkInfo: its local base path, ANSI
    base = at + struct.unpack_from('<I', link, at + 16)[0]
    print(link[base:link.index(b'\0', base)].decode('latin-1'))
PY
)
[ -n "$target" ] || fail "the Start-menu entry names no target"
target_file=$(winepath -u "$target" 2>/dev/null)
[ -f "$target_file" ] || fail "the Start-menu entry leads to $target, where there is no file"
[ "$(realpath "$target_file")" = "$(realpath "$folder/kovarim.exe")" ] ||
    fail "the Start-menu entry leads to $target, not to the installed kovarim.exe"
# The finish page's offer to start the window names the same program.
grep -q '^!define MUI_FINISHPAGE_RUN "\$INSTDIR\\\(\.\\\)\?kovarim.exe"' \
    "$work/_CPack_Packages/win64/NSIS/project.nsi" || fail "the finish page offers no start"
# The version record of each program: the product's, and its own names.
version_record() {
    /usr/bin/python3 - "$1" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
# The record begins with three 16-bit numbers, then its key.
start = data.find('VS_VERSION_INFO'.encode('utf-16-le')) - 6
for key in ['FileVersion', 'ProductVersion', 'ProductName', 'InternalName', 'OriginalFilename']:
    at = data.find((key + '\0').encode('utf-16-le'), start) if start >= 0 else -1
    if at < 0:
        continue
    at += 2 * len(key) + 2
    at += -(at - start) % 4  # the value begins on a 32-bit boundary
    end = at
    while data[end:end + 2] != b'\0\0':
        end += 2
    print('%s=%s' % (key, data[at:end].decode('utf-16-le')), end=' ')
PY
}
for program in "kovarim.exe Kovarim" "kovarim-cli.exe kovarim-cli"; do
    set -- $program
    record=$(version_record "$folder/$1")
    expected="FileVersion=1.00 ProductVersion=1.00 ProductName=Kovarim1.0 InternalName=$2 OriginalFilename=$1 "
    [ "$record" = "$expected" ] || fail "$1's version record: '$record'"
done
registry_key() { wine reg query "$1" </dev/null >/dev/null 2>&1; }
registry_key 'HKLM\Software\Kovarim maintainers\Kovarim' || fail "no registry key of the installation"
version=$(wine "$folder/kovarim-cli.exe" --version </dev/null 2>/dev/null | tr -d '\r')
[ "$version" = "Kovarim 1.00" ] || fail "the installed kovarim-cli.exe says '$version'"

wine "$folder/Uninstall.exe" /S </dev/null >/dev/null 2>&1
# The uninstaller copies itself away and finishes in the background.
for ((i = 0; i < 100; i++)); do [ ! -e "$folder/kovarim.exe" ] && break; sleep 0.1; done
[ ! -e "$folder/kovarim.exe" ] || fail "the uninstaller left kovarim.exe"
for key in 'HKLM\Software\Kovarim maintainers' 'HKCU\Software\Kovarim maintainers' \
    'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kovarim'; do
    ! registry_key "$key" || fail "the uninstaller left the registry key $key"
done
echo "zip: $listing; installer: installed, a Start-menu entry that leads to kovarim.exe, the finish page's start, version records, kovarim-cli.exe works, uninstalled without a trace in the registry"
