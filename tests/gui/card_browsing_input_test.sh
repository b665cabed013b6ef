#!/usr/bin/env bash
# A designer's day with real keys under an X server (run it inside xvfb-run):
# the list under the ID box (by ID and by move name), next and previous card,
# the "*" in the caption, the question before changes are dropped (on Load,
# on the next card and on closing, each answer), and a card rewritten by
# another program shown again when the window is used again.
#   card_browsing_input_test.sh PATH/TO/velmar [SCREENSHOT.png]
set -uo pipefail

folder=$(mktemp -d)
cp "$1" "$folder/velmar"
screenshot=${2:-}
here=$(dirname "$0")
source "$here/x_input.sh"
cleanup() { stop_editor; rm -rf "$folder"; }
trap cleanup EXIT

write_browsing_cards

# The list is the editor's one visible window without its caption.
list_shown() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$pid" --class . 2>/dev/null); do
    [[ "$(xdotool getwindowname "$id")" =~ $editor_title ]] || return 0
  done
  return 1
}
no_list() { ! list_shown; }
question_shown() { [ "$(editor_windows "$pid")" -eq 2 ]; }
question_gone() { [ "$(editor_windows "$pid")" -lt 2 ]; }
no_question() { [ "$(editor_windows "$pid")" -eq 1 ]; }
ended() { [[ "$(ps -o stat= -p "$pid")" != [^Z]* ]]; }
# The focused text box's text, through the clipboard.
box_is() { key ctrl+a ctrl+c; wait_until clipboard_holds "$1"; }
to_id_box() { xdotool mousemove --window "$win" 90 $((menu_height + 16)) click 1; key ctrl+a; }
answer() {  # answer KEY...: waits for the question, then presses the keys
  wait_until question_shown && key "$@" && wait_until question_gone
}

start_editor "$folder/velmar"
eval "$(xdotool getwindowgeometry --shell "$win")"
menu_height=$((HEIGHT - 321))

# Completion by ID: the list drops down as the ID is typed, Down and Enter load.
to_id_box; typ "00"
check "the list drops down under the ID box" wait_until list_shown
[ -n "$screenshot" ] && sleep 0.3 && import -window root -crop "500x420+$((X - 20))+$((Y - 20))" +repage "$screenshot"
key Down Down Return
check "Down, Down, Enter load the second card" box_is 4
check "the list closed" no_list
check "the caption is the usual one" caption_is "Ostra VozoZO Velmar"

# The "*" and the question on Load: Cancel keeps all, Don't Save loads.
key End; typ "9"
check "the caption shows the unsaved change" wait_until caption_is "Ostra VozoZO Velmar*"
to_id_box; typ "001"; key Escape ctrl+o
check "Load asks first; Esc cancels" answer Escape
xdotool windowfocus --sync "$win"
tabs 3  # from the ID box to the rarity
check "after Cancel the change is still there" box_is 49
key ctrl+o
check "Load asks again; N does not save" answer n
xdotool windowfocus --sync "$win"
check "card 001 is shown" box_is 3
check "card 002 was not saved" has_bytes "$folder/002.ini" "$(card 4 '\x93\xcb\x82\xab' Fire)"

# The next card: Enter saves the change first.
key End; typ "5"
key ctrl+Next
check "the next card asks first; Enter saves" answer Return
xdotool windowfocus --sync "$win"
check "card 001 was saved" has_bytes "$folder/001.ini" "$(card 35 Strike Blast)"
check "the next card is shown" box_is 4
key ctrl+Prior
check "the previous card is shown, without a question" box_is 35
check "no question without changes" no_question

# Completion by a move name, letter case aside.
to_id_box; typ "kick"
check "a move name finds its card" wait_until list_shown
key Down Return
check "card 010 is shown" box_is 1

# Another program rewrites the card shown: back in the window, it shows it.
write_card 010.ini 7 Kick Claw
xdotool windowfocus "$(xwininfo -root | awk '/Window id:/ {print $4}')"
sleep 0.3
xdotool windowfocus --sync "$win"
check "the rewritten card is shown again" box_is 7

# Closing: Esc keeps the window, Enter saves and closes.
key End; typ "0"
"$here/wm_protocol.py" "$win" WM_DELETE_WINDOW
check "closing asks first; Esc keeps the window" answer Escape
check "the editor still runs" kill -0 "$pid"
"$here/wm_protocol.py" "$win" WM_DELETE_WINDOW
check "closing asks again; Enter saves" answer Return
check "the editor has ended" wait_until ended
check "card 010 was saved" has_bytes "$folder/010.ini" "$(card 70 Kick Claw)"

echo "card browsing: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
