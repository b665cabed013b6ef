#!/usr/bin/env bash
# velmar-cards.exe under Wine: Japanese arguments arrive whole, Japanese text
# reaches a console and a pipe alike, and the exit statuses are Linux's.
# Usage: velmar_cards_exe_test.sh path/to/velmar-cards.exe
set -u
exe=$1
run=$(dirname "$0")/../../tools/windows/wine-run.sh
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }  # Wine's drive Z: is the root

set_dir="$dir/カード 集"
mkdir "$set_dir"
# A card as a Windows program writes it: code page 932 (竜 ひっかく), CR LF.
printf '[head]\r\nrare=3\r\nmaxlv=4\r\nminlv=1\r\nsuper=2\r\n[Lv1]\r\nHP=20\r\nP=10\r\n1=\x82\xD0\x82\xC1\x82\xA9\x82\xAD\r\n' \
    >"$set_dir/$(printf '\xe7\xab\x9c').ini"

# Output to a pipe is UTF-8, as on Linux.
"$run" "$exe" list "$(winpath "$set_dir")" >"$dir/out" 2>"$dir/err"
status=$?
[ "$status" -eq 0 ] || { cat "$dir/out" "$dir/err"; fail "list exited $status"; }
grep -q '^竜 .*ひっかく' "$dir/out" || { cat "$dir/out" "$dir/err"; fail "list of a Japanese folder: no 竜 ひっかく"; }

# In a console (a terminal here), the same text shows as Japanese.
LANG=C.UTF-8 script -qec "'$run' '$exe' list '$(winpath "$set_dir")'" /dev/null >"$dir/console" 2>&1 </dev/null
grep -q 'ひっかく' "$dir/console" || { cat "$dir/console"; fail "the console shows no ひっかく"; }

# Exit statuses: 2 for a folder that cannot be read, 1 for something found.
"$run" "$exe" list "$(winpath "$dir/none")" >/dev/null 2>&1
[ $? -eq 2 ] || fail "list of a missing folder did not exit 2"
printf '[head]\r\nrare=3\r\nsuper=7\r\n' >"$set_dir/bad.ini"
"$run" "$exe" check "$(winpath "$set_dir")" >"$dir/out" 2>&1
[ $? -eq 1 ] || { cat "$dir/out"; fail "check of a bad card did not exit 1"; }
grep -q '^bad.ini:3: ' "$dir/out" || { cat "$dir/out"; fail "check did not name bad.ini:3"; }
echo "velmar-cards.exe: Japanese arguments, console and pipe output, exit statuses: ok"
