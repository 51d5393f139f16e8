#!/usr/bin/env bash
# kovarim-cli.exe in a console of code page 936, as Chinese Windows opens
# one: its help, its results and its messages show as the characters they
# are, the same text a pipe gets as UTF-8 bytes; a converted file sent to
# standard output stays its bytes (GBK here, which such a console shows).
#
#   console_test.sh <kovarim-cli.exe> <source folder>
# Needs wine, script (util-linux) and iconv; WINEPREFIX names the prefix.
# Exits 77 (skipped) without them.
set -euo pipefail
for tool in wine script iconv; do
    command -v "$tool" >/dev/null || { echo "skipped: no $tool"; exit 77; }
done
: "${WINEPREFIX:?WINEPREFIX must name the wine prefix}"
export WINEDEBUG=-all
cli=$(realpath "$1")
source=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
cd "$work"
cp "$cli" kovarim-cli.exe
cp "$source/examples/common_points.txt" "$source/examples/batch_points.txt" .

# In a terminal wine gives a program a console, and shows what the console
# shows in the terminal's encoding (UTF-8 here); cmd's chcp sets the
# console's code page. What the console showed, less the terminal's
# controls and carriage returns; wide enough for every line. (The command
# may fail: what it says is what counts.)
in_console() {
    { LC_ALL=C.UTF-8 script -qec "stty cols 250 rows 50; wine cmd /c 'chcp 936 >nul & $*'" \
        /dev/null </dev/null || true; } | sed -e 's/\x1b\[[0-9;?]*[a-zA-Z]//g' -e 's/\r//g'
}
# The same command's standard output and error, as bytes, into a file.
in_pipe() { wine cmd /c "$*" </dev/null 2>&1 | tr -d '\r'; }
same() { # same WHAT GOT EXPECTED
    [ "$2" = "$3" ] || fail "$1: the console showed
$2
where a pipe got
$3"
}

help=$(wine kovarim-cli.exe --help </dev/null)
[[ "$help" == "用法 Usage:"* ]] || fail "the help in a pipe begins: ${help:0:40}"
same "--help" "$(in_console kovarim-cli.exe --help)" "$help"

message=$(in_console kovarim-cli.exe estimate 不存在.txt)
same "a message" "$message" "文件 不存在.txt
无法打开文件（找不到该文件或文件夹）"

results=$(in_pipe kovarim-cli.exe estimate common_points.txt)
[[ "$results" == *"三点 triple: GPS03 -- 石桥 -- GPS12"* ]] || fail "estimate said: $results"
same "estimate's results" "$(in_console kovarim-cli.exe estimate common_points.txt)" "$results"

wine kovarim-cli.exe estimate common_points.txt --params p.txt </dev/null >/dev/null
converted=$(wine kovarim-cli.exe convert --params p.txt batch_points.txt - </dev/null |
    iconv -f GBK -t UTF-8 | tr -d '\r')
[ -n "$converted" ] || fail "convert wrote nothing"
same "a converted file on standard output" \
    "$(in_console kovarim-cli.exe convert --params p.txt batch_points.txt -)" "$converted"
echo "code page 936 console: help, a message, results and a converted file as a pipe gets them"
