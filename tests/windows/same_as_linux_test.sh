#!/usr/bin/env bash
# The Linux and the Windows velmar-cards on one card set: the same list, the
# same CSV byte for byte, the same report page and JSON (apart from the folder
# and the time), an import of that CSV that rewrites nothing, and one CSV
# imported into byte-identical card files.
# Usage: same_as_linux_test.sh path/to/velmar-cards path/to/velmar-cards.exe
set -u
linux=$1 exe=$2
run=$(dirname "$0")/../../tools/windows/wine-run.sh
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }
windows() { "$run" "$exe" "$@"; }

# A card set made by the Linux command from a table with Japanese, quotes,
# look-alikes (〜 ¥) and empty levels.
mkdir "$dir/set" "$dir/linux" "$dir/windows"
header=ID,rare,maxlv,minlv,super
for n in 1 2 3 4; do header+=",Lv$n.HP,Lv$n.P,Lv$n.1,Lv$n.S,Lv$n.2"; done
{
    printf '\xef\xbb\xbf%s\r\n' "$header"
    printf '000,3,4,1,2,20,10,ひっかく,N/30P/1,ふぶき,,,,,,,,,,,,,,,\r\n'
    printf '竜,5,9,1,3,300,50,"かみつく, ""強""",AM/120E/3,ほのお〜,,,,,,80,,しっぽ¥,,,,,,,\r\n'
    printf 'a b,,,,0,1,,,,,,,,,,,,,,,,,,,\r\n'
} >"$dir/cards.csv"
"$linux" import "$dir/cards.csv" "$dir/set" >/dev/null || fail "the Linux import failed"

"$linux" list "$dir/set" >"$dir/list.linux" || fail "Linux list failed"
windows list "$(winpath "$dir/set")" >"$dir/list.windows" 2>"$dir/err" || { cat "$dir/err"; fail "Windows list failed"; }
cmp -s "$dir/list.linux" "$dir/list.windows" || { diff "$dir/list.linux" "$dir/list.windows"; fail "list differs"; }

"$linux" export "$dir/set" --csv "$dir/export.linux.csv" || fail "Linux export failed"
windows export "$(winpath "$dir/set")" --csv "$(winpath "$dir/export.windows.csv")" 2>"$dir/err" ||
    { cat "$dir/err"; fail "Windows export failed"; }
cmp "$dir/export.linux.csv" "$dir/export.windows.csv" || fail "the exported CSV differs"

before=$(cd "$dir/set" && ls -l --time-style=+%s.%N | md5sum)
windows import "$(winpath "$dir/export.windows.csv")" "$(winpath "$dir/set")" >"$dir/out" 2>&1 ||
    { cat "$dir/out"; fail "Windows import of the export failed"; }
grep -q '新規 0 枚、変更 0 枚、変更なし 3 枚' "$dir/out" || { cat "$dir/out"; fail "the import changed cards"; }
[ "$(cd "$dir/set" && ls -l --time-style=+%s.%N | md5sum)" = "$before" ] || fail "the import touched a file"

# The report: the same page and the same JSON, apart from the folder named and
# the time it was made.
"$linux" report "$dir/set" --html "$dir/report.linux.html" --json "$dir/report.linux.json" >/dev/null ||
    fail "Linux report failed"
windows report "$(winpath "$dir/set")" --html "$(winpath "$dir/report.windows.html")" \
    --json "$(winpath "$dir/report.windows.json")" >"$dir/out" 2>&1 || { cat "$dir/out"; fail "Windows report failed"; }
apart_from_folder_and_time() { sed -E 's/\{"folder": "([^"\\]|\\.)*", "made": "[^"]*"/{"folder": "", "made": ""/' "$1"; }
for kind in html json; do
    apart_from_folder_and_time "$dir/report.linux.$kind" >"$dir/linux.$kind"
    apart_from_folder_and_time "$dir/report.windows.$kind" >"$dir/windows.$kind"
    cmp -s "$dir/report.linux.$kind" "$dir/linux.$kind" && fail "the Linux $kind names no folder and time"
    cmp "$dir/linux.$kind" "$dir/windows.$kind" || fail "the report's $kind differs"
done

"$linux" import "$dir/cards.csv" "$dir/linux" >/dev/null || fail "Linux import failed"
windows import "$(winpath "$dir/cards.csv")" "$(winpath "$dir/windows")" >"$dir/out" 2>&1 ||
    { cat "$dir/out"; fail "Windows import failed"; }
diff -r "$dir/linux" "$dir/windows" || fail "the imported card files differ"
echo "Linux and Windows velmar-cards: same list, same CSV, same report, same card files: ok"
