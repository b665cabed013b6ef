#!/bin/sh
# velmar-cards report end to end: its exit statuses (1 with --fail-on-outliers
# when there is an outlier, each named on its line; 2 for a folder it cannot
# read), a pipe and a link written into, and its page opened in Debian's headless Chromium (report_page_check.py):
# no script error, no request outside the file, every chart drawn, card text
# meant to break out of the page shown as text, and an empty folder's page.
# Usage: report_command_test.sh path/to/velmar-cards
set -u
cards=$1
check="/usr/bin/python3 $(dirname "$0")/report_page_check.py"
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT

. "$(dirname "$0")/../support/expect.sh"
card() {  # card ID RARE HP P MOVE
    printf '[head]\r\nrare=%s\r\nmaxlv=1\r\nminlv=1\r\nsuper=1\r\n[Lv1]\r\nHP=%s\r\nP=%s\r\n1=%s\r\n' "$2" "$3" "$4" "$5" \
        >"$dir/set/$1.ini"
}

# Six cards of rarity 2, one far above the others and named to break out of
# the page; a rarity made of markup; a value that is no number.
mkdir "$dir/set" "$dir/empty"
for n in 0 1 2 3 4; do card "a$n" 2 "5$n" 10 たいあたり; done
card x5 2 400 10 '<img src=x onerror=window.pwned=1>'
card y '</script><script>window.pwned=2</script>' 30 12 かみつく
card z 2 'abc' 10 ひっかく

expect 0 "$cards" report --help
grep -q -- '--fail-on-outliers' "$dir/out" || fail "report --help says nothing of --fail-on-outliers"
expect 2 "$cards" report "$dir/missing" --html "$dir/missing.html"
[ -e "$dir/missing.html" ] && fail "a page was written for a folder that cannot be read"

expect 0 "$cards" report "$dir/set" --html "$dir/report.html" --json "$dir/report.json"
grep -q '"cards": 8,' "$dir/report.json" || fail "the JSON does not count 8 cards"
expect 1 "$cards" report "$dir/set" --html "$dir/report.html" --fail-on-outliers
[ "$(grep -c '^外れ値: ' "$dir/out")" -eq 1 ] || { cat "$dir/out"; fail "not one outlier line"; }
grep -q '^外れ値: x5 レベル1のMaxHP 400' "$dir/out" || { cat "$dir/out"; fail "the outlier line does not name x5 and its field"; }
# A link and a pipe are written into, never replaced by a file (as root, that
# would have put a plain file in place of /dev/null).
mkfifo "$dir/pipe" && ln -s "$dir/linked.json" "$dir/link.json" || fail "mkfifo, ln"
cat "$dir/pipe" >"$dir/piped.html" &
expect 0 "$cards" report "$dir/set" --html "$dir/pipe" --json "$dir/link.json"
wait
[ -p "$dir/pipe" ] && [ -L "$dir/link.json" ] || fail "the pipe or the link was replaced"
grep -q '"cards": 8,' "$dir/linked.json" && grep -q '</html>' "$dir/piped.html" ||
    fail "the page or the JSON did not go through the pipe and the link"
rm "$dir/set/x5.ini"
expect 0 "$cards" report "$dir/set" --json "$dir/without.json" --fail-on-outliers
[ -e "$dir/velmar-report.html" ] && fail "--json alone wrote a page too"
# With no file named, the page goes into the current folder.
(cd "$dir" && "$cards" report "$dir/empty" >/dev/null) || fail "report of an empty folder failed"

# Level 1's HP and P, and the two curves of medians.
$check "$dir/report.html" --charts 4 --text 'x5' --text '</script><script>window.pwned=2</script>' \
    --text 'abc' --text 'レベル1のMaxHP' --tip '<img src=x onerror=window.pwned=1>' || exit 1
$check "$dir/velmar-report.html" --charts 0 --text 'このフォルダーにはカードがありません。' || exit 1
echo "velmar-cards report: exit statuses, the page in Chromium: ok"
