#!/usr/bin/env bash
# velmar.exe under Wine, driven with real keyboard and mouse input under an X
# server (run it inside xvfb-run), in the Wine prefix of the run (WINEPREFIX).
# Every card it saves is compared byte for byte with what the Linux editor's
# Save writes for the same input: the Linux velmar-cards import writes each
# card exactly so.
#   velmar_exe_test.sh PATH/TO/velmar.exe PATH/TO/LINUX/velmar-cards PATH/TO/clipboard_wait.exe
set -uo pipefail

exe=$1 linux=$2 clipboard_wait=$3
run=$(dirname "$0")/../../tools/windows/wine-run.sh
folder=$(mktemp -d)
cp "$exe" "$folder/velmar.exe"
source "$(dirname "$0")/../gui/x_input.sh"

source "$(dirname "$0")/wine_input.sh"

# The bytes the Linux editor saves for the card of a CSV row (the columns of
# velmar-cards export: ID, the head's keys, then HP, P, 1, S, 2 per level).
expected=$folder/expected
linux_card() {  # linux_card ID ROW: writes $expected/ID.ini
  local header=ID,rare,maxlv,minlv,super n
  for n in 1 2 3 4; do header+=",Lv$n.HP,Lv$n.P,Lv$n.1,Lv$n.S,Lv$n.2"; done
  rm -rf "$expected"; mkdir -p "$expected"
  printf '\xef\xbb\xbf%s\r\n%s\r\n' "$header" "$2" >"$folder/card.csv"
  "$linux" import "$folder/card.csv" "$expected" >/dev/null && [ -f "$expected/$1.ini" ]
}
saved_as_linux() {  # saved_as_linux ID ROW
  linux_card "$1" "$2" || { echo "  the Linux import of '$2' failed"; return 1; }
  same_bytes "$folder/$1.ini" "$expected/$1.ini" && return 0
  echo "  $1.ini holds:"; od -c "$folder/$1.ini" 2>/dev/null | head -12 | sed 's/^/    /'
  echo "  Linux writes:"; od -c "$expected/$1.ini" | head -12 | sed 's/^/    /'
  return 1
}
empty_levels() { local i s=; for i in $(seq "$1"); do s+=,,,,,; done; printf '%s' "$s"; }
windows_are() { [ "$(editor_windows)" -eq "$1" ]; }
# Clicks at a point of the window's client area, in pixels at 96 dpi.
click_at() { xdotool mousemove --window "$win" "$1" $(($2 + menu_height)) click 1; }

"$run" "$folder/velmar.exe" & pid=$!
win=$(xdotool search --sync --onlyvisible --name "$editor_title" | head -n1)
xdotool windowfocus --sync "$win"
eval "$(xdotool getwindowgeometry --shell "$win")"
menu_height=$((HEIGHT - 321))
check "client area is 354 x 321 under the menu bar" test "$WIDTH" -eq 354 -a "$menu_height" -gt 0

# The ID, then a whole card through the tab order: each list moved by a key,
# the moves' Japanese names pasted. A control out of order puts a value into
# the wrong key.
typ "001"; tabs 3                                   # txtID, cmdLoad, cmdSave
typ "5"; tabs 1; typ "4"; tabs 1; typ "1"; tabs 1   # rarity, highest, lowest level
key Down; tabs 2                                    # super mode 1, past the level option
typ "20"; tabs 1
check "Japanese pasted into the normal move" paste_in "ひっかく"
tabs 1; typ "10"; tabs 1
check "Japanese pasted into the extended move" paste_in "ふぶき"
tabs 1; key Down; tabs 1; typ "30"; tabs 1; key Down; tabs 1; typ "2"; tabs 2   # back at txtID
key ctrl+s
card1="001,5,4,1,1,20,10,ひっかく,1F/30D/2,ふぶき"
check "the tab order and Ctrl+S save the card as Linux does" saved_as_linux 001 "$card1$(empty_levels 3)"

# Levels by mouse and by arrow keys: level 2 by a click, 3 by a click, 4 by
# the right arrow and back to 3 by the left one, 1 by a click.
click_at 32 152; click_at 72 152                    # options "1" (no change) and "2"
key Tab; typ "40"; tabs 3; typ "Kick"               # MaxHP, past move and power, extended move
tabs 1; key Down Down; tabs 1; typ "9"; tabs 1; key Up; tabs 1; typ "1"
click_at 112 152; key Right Left                    # option "3", then "4" and "3" by arrow keys
key Tab; typ "60"; tabs 1
check "Japanese pasted into level 3" paste_in "突き"
tabs 1; typ "7"
click_at 32 152                                     # option "1": level 1 comes back
key ctrl+s
card1b="$card1,40,,,A/9P/1,Kick,60,7,突き,,$(empty_levels 1)"
check "levels by mouse and arrow keys saved as Linux does" saved_as_linux 001 "$card1b"

# A card written by a Windows program: code page 932, other letter case in
# names, blanks, quotes and junk lines. The focus is on the ID after a Save,
# on the rarity after a Load, three Shift+Tabs after the ID.
printf '; kept by hand\r\njunk without equals\r\n[HEAD]\r\n Rare = "\x90\xaf5" \r\nMAXLV=9\r\nsuper = 2\r\n' \
  >"$folder/win.ini"
printf "[lv1]\r\nhp=8\r\n1 = '\x82\xd0\x82\xc1\x82\xa9\x82\xad'\r\nP=3\r\ns=U/3E/4\r\n2=\x95\x5c\r\n[Lv2]\r\nHP=  \r\n" \
  >>"$folder/win.ini"
typ "win"; key ctrl+o
check "the loaded rarity reads 星5" test "$(box_text)" = "星5"
key shift+Tab shift+Tab shift+Tab; typ "win2"; key ctrl+s
check "a card written on Windows loads and saves as on Linux" \
  saved_as_linux win2 "win2,星5,9,,2,8,3,ひっかく,U/3E/4,表$(empty_levels 3)"

# Shift+Del: in a text box it cuts (the ID, selected after the Save) and
# leaves the card alone; elsewhere it clears the card.
offer "-" && key shift+Delete
check "Shift+Del in a text box cuts its text" wait_until taken
check "the cut text is the ID" test "$(clipboard_text)" = "win2"
typ "005"; key ctrl+s
check "the cut cleared nothing" same_bytes "$folder/005.ini" "$folder/win2.ini"
tabs 1; key shift+Delete                            # on the Load button; the focus goes back to the ID
typ "004"; key ctrl+s
check "Shift+Del outside a text box clears the card" saved_as_linux 004 "004,,,,0$(empty_levels 4)"

# A refused ID and a value too long for the card file each give a message
# and change no file.
files_before=$(cd "$folder" && ls -l --time-style=+%s.%N *.ini | md5sum)
key ctrl+a; typ "a*b"; key ctrl+s
check "a refused ID gives a message" wait_until windows_are 2
key Return
check "the message closes with Enter" wait_until windows_are 1
key ctrl+a; typ "004"; tabs 3
check "a 256-byte value is on the clipboard" offer "$(printf 'x%.0s' $(seq 256))"
key ctrl+v ctrl+s
check "a 256-byte value gives a message" wait_until windows_are 2
key Return
check "the second message closes with Enter" wait_until windows_are 1
check "neither wrote a file" test "$(cd "$folder" && ls -l --time-style=+%s.%N *.ini | md5sum)" = "$files_before"

# 004.ini changed elsewhere since this window saved it: Save asks, with No
# as the answer to Esc, and then writes nothing.
key ctrl+a; typ "7"
printf '[head]\r\nrare=1\r\n' >"$folder/004.ini"
key ctrl+s
check "Save asks before overwriting a change made elsewhere" wait_until windows_are 2
key Escape
check "Esc answers the question" wait_until windows_are 1
check "Esc kept the other change" has_bytes "$folder/004.ini" '[head]\r\nrare=1\r\n'

# Closing the window asks first, as the card has a change that was not
# saved; N (保存しない) drops it and the program ends.
key alt+F4
check "Alt+F4 asks before the change is dropped" wait_until windows_are 2
xdotool windowfocus --sync "$(xdotool search --onlyvisible --name "$editor_title" | grep -vx "$win" | head -n1)"
key n
check "N ends the program without saving" wait_until eval '! kill -0 "$pid" 2>/dev/null'
check "the change was not saved" has_bytes "$folder/004.ini" '[head]\r\nrare=1\r\n'
wait "$pid" 2>/dev/null; pid=

echo "velmar.exe: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
