#!/usr/bin/env bash
# Two editors on one card folder, driven with real keys under an X server
# (run it inside xvfb-run): both load card 000, the first saves a change, the
# second saves too and is asked first; Esc keeps the first one's card.
#   two_editors_test.sh PATH/TO/velmar
set -uo pipefail

folder=$(mktemp -d)
cp "$1" "$folder/velmar"
source "$(dirname "$0")/x_input.sh"
cleanup() { kill "${first:-}" "${second:-}" 2>/dev/null; wait 2>/dev/null; rm -rf "$folder"; }
trap cleanup EXIT
card_is() { has_bytes "$folder/$1" "$2"; }
windows_of() { [ "$(editor_windows "$1")" -eq "$2" ]; }

card='[head]\r\nrare=%s\r\nmaxlv=4\r\nminlv=1\r\nsuper=2\r\n[Lv1]\r\nHP=20\r\nP=10\r\n1=Strike\r\nS=N/30P/1\r\n2=Blast\r\n[Lv2]\r\nHP=30\r\n'
rarity() { printf '%s' "${card/\%s/$1}"; }  # the card's printf format with that rarity
# shellcheck disable=SC2059
printf "$(rarity 3)" >"$folder/000.ini"

start_editor "$folder/velmar"; first=$pid first_win=$win
start_editor "$folder/velmar"; second=$pid second_win=$win

# The first editor loads 000; the focus is then on the rarity.
xdotool windowfocus --sync "$first_win"
key ctrl+o
# The second loads 000 and saves it as "copy", which shows that the load is
# done; then it goes back to ID 000 and types a rarity of its own.
xdotool windowfocus --sync "$second_win"
key ctrl+o shift+Tab shift+Tab shift+Tab
typ "copy"; key ctrl+s
check "the second editor loaded 000" card_is copy.ini "$(rarity 3)"
typ "000"; tabs 3; typ "7"

# The first saves a change.
xdotool windowfocus --sync "$first_win"
key ctrl+a; typ "9"; key ctrl+s
check "the first editor saved its change" card_is 000.ini "$(rarity 9)"

# The second saves over it: it asks first, and Esc writes nothing.
xdotool windowfocus --sync "$second_win"
key ctrl+s
check "the second editor asks before overwriting" wait_until windows_of "$second" 2
key Escape
check "Esc closes the question" wait_until windows_of "$second" 1
# What was typed is still on screen: saved as a new card "after".
xdotool windowfocus --sync "$second_win"
key shift+Tab shift+Tab shift+Tab; typ "after"; key ctrl+s
check "the second editor kept what was typed" card_is after.ini "$(rarity 7)"
check "the first editor's card is kept byte for byte" card_is 000.ini "$(rarity 9)"

echo "two editors: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
