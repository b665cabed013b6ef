# Shared by the real-input tests (source it): real keyboard input through
# xdotool, and waits for what the program does. Every wait polls until its
# condition holds or a generous deadline passes: a busy machine makes a run
# slower, never a failure.

# Seconds a wait gives the program before the check fails.
patience=${VELMAR_TEST_PATIENCE:-60}

key() { xdotool key --delay 40 "$@"; }

# Types ASCII text. Characters that are not on the keyboard map (Japanese)
# are typed by remapping a spare key for a moment, and a busy program reads
# such a key after the map is back: they go through paste instead.
typ() {
  if LC_ALL=C grep -q '[^ -~]' <<<"$1"; then
    echo "typ: '$1' is not plain ASCII; use paste" >&2
    return 1
  fi
  xdotool type --delay 40 -- "$1"
}

# Puts text into the focused control through the clipboard (Ctrl+V). The
# clipboard holds one text: check a paste's effect before the next one.
paste() {
  printf '%s' "$1" | xclip -selection clipboard -in
  wait_until clipboard_holds "$1" || return 1
  key ctrl+v
}

# Asked afresh at each try (a "$(...)" argument to wait_until is read once).
clipboard_holds() { [ "$(clipboard_text)" = "$1" ]; }

# The clipboard's text. xclip waits for the clipboard's owner without end,
# and Wine at times never answers: each ask gets 5 seconds, three times.
clipboard_text() {
  local try status
  for try in 1 2 3; do
    timeout 5 xclip -selection clipboard -out 2>/dev/null
    status=$?
    [ "$status" -eq 124 ] || return "$status"
  done
  return 1
}

tabs() { local i; for ((i = 0; i < $1; i++)); do key Tab; done; }

# wait_until COMMAND...: true as soon as COMMAND is; false after $patience s.
wait_until() {
  local deadline=$((SECONDS + patience))
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}

# has_bytes FILE FORMAT: true once FILE holds exactly the bytes printf makes
# of FORMAT; otherwise shows what the file holds.
has_bytes() {
  local expected
  expected=$(mktemp)
  printf "$2" >"$expected"
  if wait_until cmp -s "$1" "$expected"; then rm -f "$expected"; return 0; fi
  echo "  $1 holds:"; od -c "$1" 2>/dev/null | head -20 | sed 's/^/    /'
  rm -f "$expected"; return 1
}

same_bytes() { wait_until cmp -s "$1" "$2"; }

# check NAME COMMAND...: counts and reports one check.
passed=0 failed=0
check() {
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); echo "ok: $name"
  else failed=$((failed + 1)); echo "FAILED: $name"; fi
}

# The caption, with the "*" of unsaved changes where either system puts it.
editor_title='^\*?Ostra VozoZO Velmar\*?$'
# The number of visible windows with the editor's title (message boxes too),
# of every editor or of the one with the given process id.
editor_windows() { xdotool search --all --onlyvisible ${1:+--pid "$1"} --name "$editor_title" 2>/dev/null | wc -l; }

# start_editor PROGRAM: starts it on the X server, waits for its window and
# gives it the focus; sets pid and win. Another editor may be running.
start_editor() {
  QT_QPA_PLATFORM=xcb "$1" & pid=$!
  win=$(xdotool search --sync --all --onlyvisible --pid "$pid" --name "$editor_title" | head -n1)
  xdotool windowfocus --sync "$win"
  sleep 0.5
}
stop_editor() {
  [ -n "${pid:-}" ] || return 0
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; pid=
}

# not_grep PATTERN TEXT: true when TEXT does not hold PATTERN.
not_grep() { ! grep -qF -- "$1" <<<"$2"; }

# card RARITY MOVE1 MOVE2: a card as Save writes it, as a format for printf.
card() { echo "[head]\r\nrare=$1\r\nmaxlv=\r\nminlv=\r\nsuper=0\r\n[Lv1]\r\nHP=10\r\nP=1\r\n1=$2\r\nS=N/1P/1\r\n2=$3\r\n"; }
write_card() { local file=$1; shift; printf "$(card "$@")" >"$folder/$file"; }
# The cards the browsing tests go through, in $folder.
write_browsing_cards() {
  write_card 001.ini 3 Strike Blast
  write_card 002.ini 4 '\x93\xcb\x82\xab' Fire # 突き in Shift-JIS
  write_card 010.ini 1 Kick Claw
}
caption_is() { [ "$(xdotool getwindowname "$win")" = "$1" ]; }
