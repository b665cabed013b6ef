#!/bin/sh
# velmar-cards end to end: its exit statuses (check: 0 clean, 1 something
# found, 2 no folder to read), --help on every command, a round trip
# through the files it writes, a code page 932 table, one that reads as
# either encoding, a table of over 64 MiB, and file names that hold control
# characters. Usage: velmar_cards_test.sh path/to/velmar-cards
set -u
cards=$1
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT

. "$(dirname "$0")/../support/expect.sh"

mkdir "$dir/set"
printf '[head]\r\nrare=3\r\nmaxlv=4\r\nminlv=1\r\nsuper=2\r\n[Lv1]\r\nHP=20\r\n' >"$dir/set/000.ini"
cp -p "$dir/set/000.ini" "$dir/000.before"

for command in list export check import; do
    expect 0 "$cards" $command --help
    grep -q "velmar-cards $command" "$dir/out" || fail "$command --help says nothing of $command"
done
expect 2 "$cards" frobnicate
expect 2 "$cards" export "$dir/set"   # no --csv or --json

expect 0 "$cards" check "$dir/set"
expect 0 "$cards" list "$dir/set"
grep -q '^000  ' "$dir/out" || fail "list shows no card 000"

expect 0 "$cards" export "$dir/set" --csv "$dir/cards.csv" --json "$dir/cards.json"
grep -q '"Lv1.HP": "20"' "$dir/cards.json" || fail "the JSON holds no Lv1.HP of 20"
expect 0 "$cards" import "$dir/cards.csv" "$dir/set"
cmp -s "$dir/set/000.ini" "$dir/000.before" || fail "import of the export changed 000.ini"

sed 's/^000,3,/000,4,/' "$dir/cards.csv" >"$dir/changed.csv"
expect 0 "$cards" import "$dir/changed.csv" "$dir/set" --dry-run
grep -q '変更 1 枚' "$dir/out" || fail "the dry run counts no changed card"
cmp -s "$dir/set/000.ini" "$dir/000.before" || fail "the dry run wrote 000.ini"

printf '[head]\r\nrare=1\r\nsuper=9\r\n' >"$dir/set/001.ini"
expect 1 "$cards" check "$dir/set"
grep -q '^001.ini:3: ' "$dir/out" || fail "check does not name 001.ini line 3"
expect 0 "$cards" import --help
grep -q -- '--new-ids' "$dir/out" || fail "import --help says nothing of --new-ids"

# The plain "CSV" of Japanese Excel: code page 932 without a byte-order mark.
header=$(head -n 1 "$dir/cards.csv" | tail -c +4)
printf '%s\n009,ほし,,,,10,,,,,,,,,,,,,,,,,,,\r\n' "$header" | iconv -f UTF-8 -t CP932 >"$dir/excel.csv" ||
    fail "iconv cannot write code page 932"
expect 0 "$cards" import "$dir/excel.csv" "$dir/set" --dry-run
grep -q '新規 1 枚.*Shift-JIS' "$dir/out" || { cat "$dir/out"; fail "the summary does not tell the table was Shift-JIS"; }

# Code page 932 that is valid UTF-8 as well: half-width katakana "ﾐｰ" is
# the bytes D0 B0, Cyrillic "а" in UTF-8. Refused, naming the row and column,
# until --encoding tells which; each reading writes its own bytes.
printf '%s\n010,,,,,5,,\320\260,,,,,,,,,,,,,,,,,\r\n' "$header" >"$dir/both.csv"
expect 1 "$cards" import "$dir/both.csv" "$dir/set" --dry-run
grep -q '行2、列「Lv1.1」' "$dir/err" || { cat "$dir/err"; fail "the ambiguous table's row and column are not named"; }
grep -q 'ﾐｰ' "$dir/err" && grep -q 'а' "$dir/err" || fail "the message does not show both readings"
grep -q -- '--encoding utf-8' "$dir/err" && grep -q -- '--encoding cp932' "$dir/err" ||
    fail "the message does not tell how to choose"
[ -e "$dir/set/010.ini" ] && fail "the ambiguous table wrote a card"
expect 0 "$cards" import "$dir/both.csv" "$dir/set" --encoding cp932
grep -q 'Shift-JIS' "$dir/out" || fail "the summary does not tell the table was read as Shift-JIS"
grep -q "$(printf '^1=\320\260\r$')" "$dir/set/010.ini" || fail "--encoding cp932 did not write ﾐｰ"
expect 0 "$cards" import "$dir/both.csv" "$dir/set" --encoding=utf-8
grep -q "$(printf '^1=\204\160\r$')" "$dir/set/010.ini" || fail "--encoding=utf-8 did not write а"
rm "$dir/set/010.ini"
expect 1 "$cards" import "$dir/excel.csv" "$dir/set" --encoding utf-8
grep -q '行2、列「rare」' "$dir/err" || { cat "$dir/err"; fail "a table not UTF-8 is not refused where it is not"; }
expect 2 "$cards" import "$dir/excel.csv" "$dir/set" --encoding latin1

# An import stopped by a full disk (a file-size limit below one card's size)
# names no card as written: standard output lists only what was written.
v=$(printf '%255s' '' | tr ' ' x)
mkdir "$dir/full"
cp -p "$dir/000.before" "$dir/full/000.ini"
printf '%s\n000,%s,%s,%s,2,%s,,,,,,,,,,,,,,,,,,,\r\n' "$header" "$v" "$v" "$v" "$v" >"$dir/full.csv"
expect 2 sh -c 'ulimit -f 1 && exec "$@"' sh "$cards" import "$dir/full.csv" "$dir/full"
grep -q 'どのカードもそのままです' "$dir/err" || { cat "$dir/err"; fail "the full disk is not told"; }
grep -q '000.ini' "$dir/out" && { cat "$dir/out"; fail "a card not written is listed as written"; }
cmp -s "$dir/full/000.ini" "$dir/000.before" || fail "the stopped import changed 000.ini"

# A FIFO put where the table should be is refused, never waited on.
mkfifo "$dir/fifo.csv" || fail "mkfifo"
expect 2 timeout 10 "$cards" import "$dir/fifo.csv" "$dir/set" --dry-run
grep -q 'fifo.csv' "$dir/err" || fail "the error does not name the FIFO"
# A table written to a link (or a pipe, or /dev/null) goes into it: the link is not replaced by a file.
ln -s "$dir/linked.csv" "$dir/link.csv" || fail "ln"
expect 0 "$cards" export "$dir/set" --csv "$dir/link.csv"
[ -L "$dir/link.csv" ] && grep -q '^000,' "$dir/linked.csv" || fail "export replaced the link with a file"

# Cards with every value long (255 bytes of half-width katakana, three bytes
# each in UTF-8) export to a table of over 64 MiB, which import reads back.
mkdir "$dir/long"
LC_ALL=C awk -v dir="$dir/long" 'BEGIN {
    v = ""; for (i = 0; i < 255; i++) v = v "\261"
    level = "HP=" v "\r\nP=" v "\r\n1=" v "\r\nS=" v "\r\n2=" v "\r\n"
    card = "[head]\r\nrare=" v "\r\nmaxlv=" v "\r\nminlv=" v "\r\nsuper=2\r\n"
    for (n = 1; n <= 4; n++) card = card "[Lv" n "]\r\n" level
    for (c = 0; c < 3900; c++) { f = sprintf("%s/%04d.ini", dir, c); printf "%s", card > f; close(f) }
}' || fail "awk cannot write the long cards"
expect 0 "$cards" export "$dir/long" --csv "$dir/long.csv"
[ "$(wc -c <"$dir/long.csv")" -gt 67108864 ] || fail "the long cards' table is not over 64 MiB"
expect 0 "$cards" import "$dir/long.csv" "$dir/long" --dry-run
grep -q '新規 0 枚、変更 0 枚、変更なし 3900 枚' "$dir/out" || { cat "$dir/out" "$dir/err"; fail "the long table was not read back"; }
rm -r "$dir/long" "$dir/long.csv"

# A file name with a line break or an escape sequence is shown escaped: it
# never makes up a line of output nor reaches the terminal as it is.
esc=$(printf '\033')
mkdir "$dir/names"
cp "$dir/000.before" "$dir/names/z
0000.ini:2: fake.ini"
cp "$dir/000.before" "$dir/names/red$esc[31m.ini"
for command in check list; do
    "$cards" $command "$dir/names" >"$dir/out" 2>"$dir/err"
    grep -q '^0000.ini' "$dir/out" "$dir/err" && fail "a file name made up a line of $command's output"
    grep -qF 'z\n0000.ini:2: fake' "$dir/out" || { cat "$dir/out"; fail "$command does not show the line break as \\n"; }
    grep -qF 'red\x1b[31m' "$dir/out" || fail "$command does not show the escape character as \\x1b"
    grep -q "$esc" "$dir/out" "$dir/err" && fail "an escape character reached $command's output"
done

expect 2 "$cards" check "$dir/no such folder"
grep -q 'no such folder' "$dir/err" || fail "the error does not name the folder"
echo "velmar-cards: all checks passed"
