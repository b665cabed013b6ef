#!/usr/bin/env bash
# velmar.exe under Wine going from card to card with real keys (run it inside
# xvfb-run, in the Wine prefix of the run): the list under the ID box by ID
# and by move name, next and previous card, the "*" in the caption, the
# question before changes are dropped (on Load, on the next card and on
# closing, each answer), a card rewritten by another program shown again.
#   velmar_exe_browsing_test.sh PATH/TO/velmar.exe PATH/TO/clipboard_wait.exe
set -uo pipefail

exe=$1 clipboard_wait=$2
run=$(dirname "$0")/../../tools/windows/wine-run.sh
folder=$(mktemp -d)
cp "$exe" "$folder/velmar.exe"
source "$(dirname "$0")/../gui/x_input.sh"
source "$(dirname "$0")/wine_input.sh"

write_browsing_cards

list_shown() { xdotool search --onlyvisible --name '^IDの候補$' >/dev/null 2>&1; }
no_list() { ! list_shown; }
question_shown() { [ "$(editor_windows)" -eq 2 ]; }
question_gone() { [ "$(editor_windows)" -lt 2 ]; }
ended() { ! kill -0 "$pid" 2>/dev/null; }
rarity_is() { [ "$(box_text)" = "$1" ]; }  # the focus is on the rarity after a Load
to_id_box() { xdotool mousemove --window "$win" 90 $((menu_height + 16)) click 1; key ctrl+a; }
# answer KEY...: waits for the question, gives it the keyboard (there is no
# window manager to do so), presses the keys.
answer() {
  wait_until question_shown || return 1
  xdotool windowfocus --sync "$(xdotool search --onlyvisible --name "$editor_title" | grep -vx "$win" | head -n1)"
  key "$@" && wait_until question_gone
}
back_to_window() { xdotool windowfocus --sync "$win"; }

"$run" "$folder/velmar.exe" & pid=$!
win=$(xdotool search --sync --onlyvisible --name "$editor_title" | head -n1)
back_to_window
eval "$(xdotool getwindowgeometry --shell "$win")"
menu_height=$((HEIGHT - 321))

to_id_box; typ "00"
check "the list drops down under the ID box" wait_until list_shown
key Down Down Return
check "Down, Down, Enter load the second card" rarity_is 4
check "the list closed" no_list
check "the caption is the usual one" caption_is "Ostra VozoZO Velmar"

key End; typ "9"
check "the caption shows the unsaved change" wait_until caption_is "*Ostra VozoZO Velmar"
to_id_box; typ "001"; key Escape ctrl+o
check "Load asks first; Esc cancels" answer Escape
back_to_window; tabs 3
check "after Cancel the change is still there" rarity_is 49
key ctrl+o
check "Load asks again; N does not save" answer n
back_to_window
check "card 001 is shown" rarity_is 3
check "card 002 was not saved" has_bytes "$folder/002.ini" "$(card 4 '\x93\xcb\x82\xab' Fire)"

key End; typ "5"; key ctrl+Next
check "the next card asks first; Enter saves" answer Return
back_to_window
check "card 001 was saved" has_bytes "$folder/001.ini" "$(card 35 Strike Blast)"
check "the next card is shown" rarity_is 4
key ctrl+Prior
check "the previous card is shown, without a question" rarity_is 35
check "no question without changes" question_gone

to_id_box; typ "kick"
check "a move name finds its card" wait_until list_shown
key Down Return
check "card 010 is shown" rarity_is 1

# Another program rewrites the card shown: back in the window, it shows it.
# Wine activates its window when a window manager hands it the focus.
write_card 010.ini 7 Kick Claw
xdotool windowfocus "$(xwininfo -root | awk '/Window id:/ {print $4}')"
sleep 0.3
"$(dirname "$0")/../gui/wm_protocol.py" "$win" WM_TAKE_FOCUS
back_to_window
check "the rewritten card is shown again" rarity_is 7

key End; typ "0"; key alt+F4
check "closing asks first; Esc keeps the window" answer Escape
check "the editor still runs" kill -0 "$pid"
back_to_window; key alt+F4
check "closing asks again; Enter saves" answer Return
check "the editor has ended" wait_until ended
check "card 010 was saved" has_bytes "$folder/010.ini" "$(card 70 Kick Claw)"
wait "$pid" 2>/dev/null; pid=

echo "velmar.exe browsing: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
