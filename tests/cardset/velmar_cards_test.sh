#!/bin/sh
# velmar-cards end to end: its exit statuses (check: 0 clean, 1 something
# found, 2 no folder to read), --help on every command, and a round trip
# through the files it writes. Usage: velmar_cards_test.sh path/to/velmar-cards
set -u
cards=$1
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT

fail() { echo "FAIL: $*"; exit 1; }
# expect STATUS COMMAND...: runs it with its output in $dir/out and $dir/err.
expect() {
    want=$1; shift
    "$@" >"$dir/out" 2>"$dir/err"
    got=$?
    [ "$got" -eq "$want" ] || { cat "$dir/out" "$dir/err"; fail "$* exited $got, not $want"; }
}

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
expect 2 "$cards" check "$dir/no such folder"
grep -q 'no such folder' "$dir/err" || fail "the error does not name the folder"
echo "velmar-cards: all checks passed"
