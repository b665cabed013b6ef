#!/usr/bin/env bash
# Takes the pictures of velmar.exe in docs/ under Wine and Xvfb: a card
# loaded, at 96 dpi (docs/velmar-windows.png) and at 192 dpi
# (docs/velmar-windows-2x.png). Needs build-windows/velmar.exe
# (tools/windows/build.sh). Uses a Wine prefix of its own,
# build-windows/wine-shots, where Windows' Japanese UI font is Noto Sans CJK JP.
#   tools/windows/screenshots.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)

if [ "${1:-}" != --on-display ]; then
  export WINEPREFIX=$root/build-windows/wine-shots WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  [ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
  # Windows' Japanese UI font, and Wine's own UI font (Tahoma, without Japanese).
  for font in "Yu Gothic UI" Tahoma; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /t REG_SZ /d "Noto Sans CJK JP" /f >/dev/null 2>&1
  done
  for dpi in 96 192; do
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wineserver -w  # the DPI is read when Wine starts
    out=$root/docs/velmar-windows.png
    [ "$dpi" = 96 ] || out=$root/docs/velmar-windows-2x.png
    xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$0" --on-display "$out"
    echo "$out"
  done
  exit 0
fi

# On the X server: a card loaded, its rarity read back to know the Load is done.
out=$2
folder=$(mktemp -d)
trap '[ -z "${pid:-}" ] || kill "$pid" 2>/dev/null; wineserver -w; rm -rf "$folder"' EXIT
cp "$root/build-windows/velmar.exe" "$folder/"
# 001.ini in code page 932, as a Windows program writes it.
printf '[head]\r\nrare=5\r\nmaxlv=4\r\nminlv=1\r\nsuper=1\r\n[Lv1]\r\nHP=20\r\nP=10\r\n1=%s\r\nS=1F/30D/2\r\n2=%s\r\n' \
  "$(printf '突き' | iconv -t CP932)" "$(printf '体当たり' | iconv -t CP932)" >"$folder/001.ini"
wine "$folder/velmar.exe" & pid=$!
win=$(xdotool search --sync --onlyvisible --name '^Ostra VozoZO Velmar$' | head -n1)
xdotool windowfocus --sync "$win"
xdotool type --delay 40 001
xdotool key --delay 40 ctrl+o ctrl+a ctrl+c
until [ "$(xclip -selection clipboard -out 2>/dev/null)" = 5 ]; do sleep 0.1; done
xdotool key End
until [ "$(xdotool getwindowfocus)" = "$win" ]; do sleep 0.1; done
eval "$(xdotool getwindowgeometry --shell "$win")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out"
kill "$pid"; wait "$pid" 2>/dev/null || true; pid=
