#!/usr/bin/env bash
# Drives the built program with real keyboard and mouse input under an X
# server (run it inside xvfb-run) and checks the card files it writes.
#   real_input_test.sh PATH/TO/velmar [SCREENSHOT.png]
set -uo pipefail

app=$1
screenshot=${2:-}
folder=$(mktemp -d)
export QT_QPA_PLATFORM=xcb
cp "$app" "$folder/velmar"

source "$(dirname "$0")/x_input.sh"
cleanup() { stop_editor; rm -rf "$folder"; }
card_is() { has_bytes "$folder/$1" "$2"; }
same_cards() { same_bytes "$folder/$1" "$folder/$2"; }
# Clicks at a point of the window's client area, given in pixels.
click_at() { xdotool mousemove --window "$win" "$1" $(($2 + menu_height)) click 1; sleep 0.2; }

trap cleanup EXIT
start_editor "$folder/velmar"
eval "$(xdotool getwindowgeometry --shell "$win")"
menu_height=$((HEIGHT - 321))
check "client area is 354 x 321 under the menu bar" test "$WIDTH" -eq 354 -a "$menu_height" -gt 0

# Tab from the ID through every control of the window, typing into each box
# and moving each list; a control out of order puts a value into the wrong key.
typ "001"; tabs 3                      # txtID, cmdLoad, cmdSave
typ "5"; tabs 1; typ "4"; tabs 1; typ "1"; tabs 1  # rarity, highest, lowest level
key Down; tabs 2                       # super mode 1, then past the level option
typ "20"; tabs 1; typ "Strike"; tabs 1; typ "10"; tabs 1; typ "Blast"; tabs 1
key Down; tabs 1; typ "30"; tabs 1; key Down; tabs 1; typ "2"; tabs 2   # back at txtID
key ctrl+s
check "tab order and Ctrl+S write the card typed" card_is 001.ini \
  '[head]\r\nrare=5\r\nmaxlv=4\r\nminlv=1\r\nsuper=1\r\n[Lv1]\r\nHP=20\r\nP=10\r\n1=Strike\r\nS=1F/30D/2\r\n2=Blast\r\n'

# Levels 2 to 4 by mouse and by arrow keys, every extended-move control each.
click_at 72 152                        # option "2"; the option takes the focus
key Tab; typ "40"; tabs 3; typ "Kick"  # MaxHP, past move and power, extended move
tabs 1; key Down Down; tabs 1; typ "9"; tabs 1; key Up; tabs 1; typ "1"
click_at 112 152                       # option "3"
click_at 152 152                       # option "4"
key Left                               # back to option "3" by arrow key
key Tab; typ "60"; tabs 1; paste "突き"; tabs 1; typ "7"
click_at 32 152                        # option "1": level 1 comes back
key ctrl+s
check "levels by mouse and arrow keys, Japanese pasted, saved" card_is 001.ini \
  '[head]\r\nrare=5\r\nmaxlv=4\r\nminlv=1\r\nsuper=1\r\n[Lv1]\r\nHP=20\r\nP=10\r\n1=Strike\r\nS=1F/30D/2\r\n2=Blast\r\n[Lv2]\r\nHP=40\r\nS=A/9P/1\r\n2=Kick\r\n[Lv3]\r\nHP=60\r\nP=7\r\n1=\x93\xcb\x82\xab\r\n'

# Ctrl+O: another ID loads empty, the first one comes back; saved as a third
# ID it gives the same file. After a Load the focus is on the rarity, three
# Shift+Tabs before the ID.
key ctrl+a; typ "002"; key ctrl+o
key shift+Tab shift+Tab shift+Tab; typ "001"; key ctrl+o
if [ -n "$screenshot" ]; then sleep 0.3; import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$screenshot"; fi
key shift+Tab shift+Tab shift+Tab; typ "003"; key ctrl+s
check "Ctrl+O brings the card back" same_cards 003.ini 001.ini
check "loading a missing card wrote nothing" test ! -e "$folder/002.ini"

# A card written on Windows: Shift-JIS, CR LF, other letter case and blanks.
printf '[HEAD]\r\n rare = \x83\x5c\r\nSuper=3\r\n[lv1]\r\nHP=8\r\n2=\x95\x5c\r\nS=U/3E/4\r\n' > "$folder/win.ini"
typ "win"; key ctrl+o
key shift+Tab shift+Tab shift+Tab; typ "win2"; key ctrl+s
check "a card written on Windows loads" card_is win2.ini \
  '[head]\r\nrare=\x83\x5c\r\nmaxlv=\r\nminlv=\r\nsuper=3\r\n[Lv1]\r\nHP=8\r\nS=U/3E/4\r\n2=\x95\x5c\r\n'

# Clear from the button empties the card; the file is written only on Save.
click_at 312 16                        # the focus goes to the ID, text selected
typ "004"; key ctrl+s
check "Clear then Save writes an empty card" card_is 004.ini \
  '[head]\r\nrare=\r\nmaxlv=\r\nminlv=\r\nsuper=0\r\n'

# A read-only card is not replaced: a message box says so, Enter closes it.
chmod 0444 "$folder/004.ini"
tabs 3; typ "9"; key ctrl+s          # rarity 9, ID still 004
two_windows() { [ "$(editor_windows)" -ge 2 ]; }
one_window() { [ "$(editor_windows)" -eq 1 ]; }
check "saving over a read-only card shows a message" wait_until two_windows
[ -n "${MESSAGE_SHOT:-}" ] && import -window root "$MESSAGE_SHOT"
key Return
check "the message closes with Enter" wait_until one_window
check "the read-only card is unchanged" card_is 004.ini '[head]\r\nrare=\r\nmaxlv=\r\nminlv=\r\nsuper=0\r\n'

echo "real input: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
