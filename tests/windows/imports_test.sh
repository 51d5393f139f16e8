#!/usr/bin/env bash
# imports_test.sh OBJDUMP BUILD_FOLDER: every Windows program of the build
# needs no DLL beyond those of Windows itself (the runtimes are linked in).
set -euo pipefail
objdump=$1
build=$2
# Windows' own DLLs, lower case; msvcrt is the C library that every
# Windows has.
own="kernel32.dll user32.dll gdi32.dll comctl32.dll comdlg32.dll shell32.dll advapi32.dll
     ole32.dll oleaut32.dll shlwapi.dll uxtheme.dll version.dll msvcrt.dll ws2_32.dll
     shcore.dll dwmapi.dll imm32.dll winmm.dll bcrypt.dll ntdll.dll"
status=0
programs=0
while IFS= read -r -d '' exe; do
    programs=$((programs + 1))
    dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
    echo "${exe#"$build"/}: $(echo $dlls)"
    for dll in $dlls; do
        lower=$(echo "$dll" | tr '[:upper:]' '[:lower:]')
        if [[ " $(echo $own) " != *" $lower "* ]]; then
            echo "  $dll is not a DLL of Windows itself" >&2
            status=1
        fi
    done
done < <(find "$build" -path "$build/wine" -prune -o -name '*.exe' -not -path '*/CMakeFiles/*' -print0)
if [ "$programs" -eq 0 ]; then
    echo "no Windows program in $build" >&2
    exit 1
fi
exit $status
