#!/usr/bin/env bash
# Builds the Windows packages from a build folder and tries them as a user
# would: the zip holds both programs and the licence; the installer, run
# silently under wine, puts them in Program Files with a Start-menu entry
# and an uninstaller, and the installed kovarim-cli.exe works; the
# uninstaller takes them away again.
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
version=$(wine "$folder/kovarim-cli.exe" --version </dev/null 2>/dev/null | tr -d '\r')
[ "$version" = "Kovarim 1.00" ] || fail "the installed kovarim-cli.exe says '$version'"

wine "$folder/Uninstall.exe" /S </dev/null >/dev/null 2>&1
# The uninstaller copies itself away and finishes in the background.
for ((i = 0; i < 100; i++)); do [ ! -e "$folder/kovarim.exe" ] && break; sleep 0.1; done
[ ! -e "$folder/kovarim.exe" ] || fail "the uninstaller left kovarim.exe"
echo "zip: $listing; installer: installed, Start menu, kovarim-cli.exe works, uninstalled"
