#!/usr/bin/env bash
# What a screen reader and the window manager get from the running program:
# accessible names, labels and combo box entries over AT-SPI (Qt's bridge, as
# a screen reader reads them), and the window icon on the mapped window.
# Run it inside xvfb-run; it starts its own D-Bus session for AT-SPI.
#   accessibility_test.sh PATH/TO/velmar
set -uo pipefail

if [ -z "${VELMAR_TEST_DBUS:-}" ]; then
  VELMAR_TEST_DBUS=1 exec dbus-run-session -- "$0" "$@"
fi

app=$1
here=$(cd "$(dirname "$0")" && pwd)
folder=$(mktemp -d)
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
cp "$app" "$folder/velmar"
passed=0 failed=0

cleanup() { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -rf "$folder"; }
check() {  # check NAME COMMAND...
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); echo "ok: $name"
  else failed=$((failed + 1)); echo "FAILED: $name"; fi
}
reader() { /usr/bin/python3 "$here/accessibility_check.py" "$@"; }
icon_sizes() { xprop -len 1000000 -id "$win" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | tr '\n' ' '; }
has_icon() {
  local expected='Icon (16 x 16) Icon (32 x 32) Icon (48 x 48) Icon (64 x 64) Icon (256 x 256) '
  for _ in $(seq 100); do [ "$(icon_sizes)" = "$expected" ] && return 0; sleep 0.1; done
  echo "  _NET_WM_ICON holds: $(icon_sizes)"; return 1
}

"$folder/velmar" & pid=$!
trap cleanup EXIT
win=$(xdotool search --sync --onlyvisible --name '^Ostra VozoZO Velmar$' | head -n1)
xdotool windowfocus --sync "$win"

check "the mapped window carries the icon at every size" has_icon
check "every control has its own name, in place; labels and entries read" reader controls

# The focus walks to the super mode by Tab; Down picks the next entry. A
# reader hears the field's name and the entry now shown.
xdotool key --delay 40 Tab Tab Tab Tab Tab Tab
check "the super mode is heard by its name and entry" reader focus 'スーパー' 'このカードはモンスターカードでない'
xdotool key --delay 40 Down
check "a new entry is heard, the name stays" reader focus 'スーパー' 'このカードはスーパー化しない'

# The list under the ID box is heard by its name when it drops down.
printf '[head]\r\nrare=1\r\n' >"$folder/001.ini"
list_heard() {
  local answer
  exec {heard}< <(reader appears 'IDの候補' 'list')
  read -r -t 30 answer <&"$heard" && [ "$answer" = listening ] &&
    xdotool key --delay 40 shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab ctrl+a 0 &&
    cat <&"$heard" && wait $!
}
check "the list of cards under the ID box is heard by its name" list_heard

echo "accessibility: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
