# Shared by the tests that drive velmar.exe under Wine and Xvfb (source it
# after tests/gui/x_input.sh, with run, folder and clipboard_wait set): a Wine
# desktop of this X server's own, Japanese fonts, the clipboard both ways.

# Wine's clipboard is kept by its desktop process, on the X server that
# process was started on: the prefix's server (and with it the desktop) of
# an earlier test must be gone, so that this test's programs start one on
# this X server. The test runs alone (RUN_SERIAL); nothing else starts one.
wineserver -w
# Windows' Japanese UI font is Noto Sans CJK JP here, as it is not installed;
# so is Wine's own UI font (Tahoma, of message boxes and task dialogs), which
# has no Japanese.
for font in "Yu Gothic UI" Tahoma; do
  "$run" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /t REG_SZ /d "Noto Sans CJK JP" /f >/dev/null 2>&1
done

stop_editor() {
  [ -n "${pid:-}" ] || return 0
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; pid=
}
# The desktop process goes before this X server does.
cleanup() { stop_editor; [ -n "${clip:-}" ] && kill "$clip" 2>/dev/null; wineserver -w; rm -rf "$folder"; }
trap cleanup EXIT

# The clipboard: xclip serves a text in the foreground and ends when another
# program takes the clipboard, so a copy in the window is known to be done.
# Wine brings an X clipboard text over to Windows' clipboard a moment later;
# clipboard_wait.exe waits for that, so the next key finds it there. Wine at
# times misses the X text for good; a Windows program then takes the
# clipboard back, and the text is offered anew.
offer() {  # offer TEXT: both clipboards hold TEXT, served by xclip $clip
  local try
  for try in 1 2 3; do
    printf '%s' "$1" | xclip -quiet -selection clipboard -in >/dev/null 2>&1 & clip=$!
    wait_until clipboard_is "$1" && "$run" "$clipboard_wait" "$1" && return 0
    echo "  Windows' clipboard did not get '${1:0:20}' (try $try)"
    kill "$clip" 2>/dev/null; wait "$clip" 2>/dev/null
    "$run" "$clipboard_wait" --set "(taken back)" && wait_until clipboard_is "(taken back)"
  done
  return 1
}
clipboard_is() { [ "$(clipboard_text)" = "$1" ]; }
taken() { ! kill -0 "$clip" 2>/dev/null; }
# The text of the focused text box, through Ctrl+A and Ctrl+C.
box_text() {
  offer "-" && key ctrl+a ctrl+c && wait_until taken && clipboard_text
}
# Pastes TEXT into the focused text box and checks that the box holds it.
paste_in() { offer "$1" && key ctrl+v && [ "$(box_text)" = "$1" ]; }
