#!/usr/bin/env bash
# velmar-cards.exe under Wine: Japanese arguments arrive whole, Japanese text
# reaches a console and a pipe alike, and the exit statuses are Linux's.
# Usage: velmar_cards_exe_test.sh path/to/velmar-cards.exe path/to/git.exe (fake_git.cpp)
set -u
exe=$1 fake_git=${2:-}
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
# merge, show and check --staged read and write bytes as on Linux: CR LF kept
# in the cards, LF alone in show's output, a pipe's CR LF not turned into LF.
card() { printf '[head]\r\nrare=3\r\n[Lv1]\r\nHP=%s\r\nP=%s\r\n1=\x82\xD0\x82\xC1\r\n' "$1" "$2"; }
card 20 10 >"$set_dir/base"; card 25 10 >"$set_dir/ours"; card 20 15 >"$set_dir/theirs"
"$run" "$exe" merge "$(winpath "$set_dir/base")" "$(winpath "$set_dir/ours")" "$(winpath "$set_dir/theirs")" 7 x.ini \
    >"$dir/out" 2>&1 || { cat "$dir/out"; fail "a clean merge did not exit 0"; }
card 25 15 | cmp -s - "$set_dir/ours" || fail "the merged card is not 25 and 15 in CR LF"
card 30 10 >"$set_dir/theirs"
"$run" "$exe" merge "$(winpath "$set_dir/base")" "$(winpath "$set_dir/ours")" "$(winpath "$set_dir/theirs")" 7 x.ini \
    >"$dir/out" 2>&1
[ $? -eq 1 ] || fail "a conflicting merge did not exit 1"
grep -q 'マージの衝突: x.ini: レベル1のMaxHP' "$dir/out" || { cat "$dir/out"; fail "the conflict is not named"; }
"$run" "$exe" show "$(winpath "$set_dir/ours")" >"$dir/out" 2>&1
grep -q $'^<<<<<<< ours$' "$dir/out" && grep -q '^1=ひっ$' "$dir/out" || { cat -A "$dir/out"; fail "show's lines"; }
{ printf ':000000 100644 %040d %039d1 A\tcards/000.ini\n\n' 0 0
  printf '%039d1 blob %d\n' 0 "$(wc -c <"$set_dir/ours")"; cat "$set_dir/ours"; printf '\n'; } >"$dir/stream"
"$run" "$exe" check --staged <"$dir/stream" >"$dir/out" 2>&1
[ $? -eq 1 ] || { cat "$dir/out"; fail "check --staged let a conflicted card through"; }
grep -q '^cards/000.ini:4: マージの衝突' "$dir/out" || { cat "$dir/out"; fail "check --staged does not name the conflict"; }
# git-setup where no git is to be found says so.
PATH=/usr/bin:/bin WINEPATH= "$run" "$exe" git-setup "$(winpath "$set_dir")" >"$dir/out" 2>&1
[ $? -eq 2 ] || { cat "$dir/out"; fail "git-setup without git did not exit 2"; }

# With a git at hand: its arguments arrive whole through CreateProcessW (a
# folder with a blank and Japanese), the program's path reaches git's sh
# with "/" as one word that git's placeholders and the shell leave as it is
# (a folder holding "%", "'", "$" and "`", as Windows allows), the hook is
# written where git says the hooks are, and a read-only .gitattributes is
# left as it is, with the line to add by hand.
[ -n "$fake_git" ] || fail "no stand-in git given"
mkdir -p "$set_dir/cards" "$set_dir/.git"
prog="$dir/odd 100% o'k \$HOME \`y\`"
mkdir "$prog" && cp "$exe" "$prog/" || fail "no odd program folder"
printf '*.txt text\n' >"$set_dir/cards/.gitattributes" && chmod a-w "$set_dir/cards/.gitattributes"
FAKE_GIT_LOG=$(winpath "$dir/git.log") WINEPATH=$(winpath "$(dirname "$fake_git")") \
    "$run" "$prog/$(basename "$exe")" git-setup "$(winpath "$set_dir/cards")" >"$dir/out" 2>&1
status=$?
[ "$status" -eq 1 ] || { cat "$dir/out"; fail "git-setup beside a read-only .gitattributes exited $status, not 1"; }
[ "$(cat "$set_dir/cards/.gitattributes")" = '*.txt text' ] || fail "a read-only .gitattributes was written"
grep -q '^    \*.ini -text diff=velmar merge=velmar' "$dir/out" || { cat "$dir/out"; fail "no line to add by hand"; }
grep -qxF "$(winpath "$set_dir/cards")" "$dir/git.log" || { cat "$dir/git.log"; fail "git got the folder cut"; }
exe_path=$(winpath "$prog/$(basename "$exe")")
exe_path=${exe_path//\\//}
word=${exe_path//\'/\'\\\'\'}  # ' as '\''
grep -qxF "'${word//%/%%}' merge %O %A %B %L %P" "$dir/git.log" ||
    { cat "$dir/git.log"; fail "the merge driver is not the path with / in single quotes, % doubled"; }
grep -qxF "'$word' show" "$dir/git.log" || { cat "$dir/git.log"; fail "the textconv is not the path in single quotes"; }
head -n 1 "$set_dir/.git/hooks/pre-commit" | grep -qx '#!/bin/sh' || fail "no hook where git said"
grep -qF "velmar='$word'" "$set_dir/.git/hooks/pre-commit" || fail "the hook does not name velmar-cards.exe"
echo "velmar-cards.exe: Japanese arguments, console and pipe output, exit statuses, merge, show, check --staged, git-setup: ok"
