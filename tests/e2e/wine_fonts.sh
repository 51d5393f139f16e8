#!/usr/bin/env bash
# Makes Chinese readable in the wine prefix that WINEPREFIX names: the faces
# the window and the dialogs ask for (宋体 / SimSun for the title, Tahoma and
# MS Shell Dlg for the rest) stand in for Noto CJK (Debian's fonts-noto-cjk).
# regedit takes the entries from a UTF-16 file.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the wine prefix}"
reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
/usr/bin/python3 - "$reg" <<'PY'
import sys
def multi(*items):
    data = ''.join(item + '\0' for item in items) + '\0'
    return ','.join('%02x' % b for b in data.encode('utf-16-le'))
sans = multi('NotoSansCJK-Regular.ttc,Noto Sans CJK SC')
text = ['Windows Registry Editor Version 5.00', '',
        r'[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]',
        '"SimSun"="Noto Serif CJK SC"', '"宋体"="Noto Serif CJK SC"', '"NSimSun"="Noto Serif CJK SC"', '',
        r'[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]']
text += ['"%s"=hex(7):%s' % (face, sans)
         for face in ('Tahoma', 'Microsoft Sans Serif', 'MS Shell Dlg', 'MS Shell Dlg 2', 'Segoe UI')]
open(sys.argv[1], 'wb').write(b'\xff\xfe' + '\r\n'.join(text + ['']).encode('utf-16-le'))
PY
WINEDEBUG=-all wine regedit /S "$(winepath -w "$reg" 2>/dev/null || echo "Z:$reg")" </dev/null >/dev/null 2>&1
