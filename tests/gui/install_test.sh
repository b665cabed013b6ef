#!/usr/bin/env bash
# The install as run.sh does it, in a scratch home: builds the program in a
# build folder of its own, installs it with tools/install.sh into a card
# folder (a path with a space), saves a card with the installed program under
# an X server (run it inside xvfb-run), deletes the build folder and loads the
# card again. Never touches the real ~/Velmar or ~/.local/share.
#   install_test.sh SOURCE_DIR [COMPILER_LAUNCHER]
set -uo pipefail

source_dir=$(cd "$1" && pwd)
launcher=${2:-}
scratch=$(mktemp -d)
export HOME=$scratch/home XDG_DATA_HOME=$scratch/data VELMAR_HOME="$scratch/my cards"
build=$scratch/build
icons=$source_dir/editor/icons
entry=$XDG_DATA_HOME/applications/velmar.desktop

source "$(dirname "$0")/x_input.sh"
cleanup() { stop_editor; rm -rf "$scratch"; }
trap cleanup EXIT

echo "building the program in $build"
cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVELMAR_TESTS=OFF -DVELMAR_BENCHMARKS=OFF \
      -DCMAKE_CXX_COMPILER_LAUNCHER="$launcher" >/dev/null &&
  "$source_dir/tools/build.sh" "$build" --target velmar velmar-cards || { echo "FAILED: the build"; exit 1; }

# Cards an earlier version saved in the build folder; one of them has a
# namesake in the card folder already.
mkdir -p "$VELMAR_HOME"
printf '[head]\r\nrare=1\r\n' >"$build/100.ini"
printf '[head]\r\nrare=2\r\n' >"$build/200.ini"
printf '[head]\r\nrare=3\r\n' >"$VELMAR_HOME/200.ini"

output=$("$source_dir/tools/install.sh" "$build" 2>&1)
echo "$output" | sed 's/^/  install: /'
check "the program is installed in the card folder" test -x "$VELMAR_HOME/velmar"
check "the first install names the card folder" grep -qF "installed in $VELMAR_HOME" <<<"$output"
check "an old card moves to the card folder" has_bytes "$VELMAR_HOME/100.ini" '[head]\r\nrare=1\r\n'
check "the moved card has left the build folder" test ! -e "$build/100.ini"
check "a card already in the card folder is kept" has_bytes "$VELMAR_HOME/200.ini" '[head]\r\nrare=3\r\n'
check "its namesake stays in the build folder" has_bytes "$build/200.ini" '[head]\r\nrare=2\r\n'
check "install says which card it left" grep -qF "200.ini" <<<"$output"

check "the desktop entry is valid" desktop-file-validate "$entry"
check "the entry starts the installed program" grep -qxF "Exec=\"$VELMAR_HOME/velmar\"" "$entry"
check "the entry starts it in the card folder" grep -qxF "Path=$VELMAR_HOME" "$entry"
for size in 16 32 48 64 256; do
  check "the ${size} px icon is installed" \
    cmp -s "$icons/velmar-$size.png" "$XDG_DATA_HOME/icons/hicolor/${size}x${size}/apps/velmar.png"
done
check "the scalable icon is installed" cmp -s "$icons/velmar.svg" "$XDG_DATA_HOME/icons/hicolor/scalable/apps/velmar.svg"

# A card saved by the installed program lands in the card folder.
start_editor "$VELMAR_HOME/velmar"
typ "010"; tabs 3; typ "5"; key ctrl+s
check "the installed program saves into the card folder" \
  has_bytes "$VELMAR_HOME/010.ini" '[head]\r\nrare=5\r\nmaxlv=\r\nminlv=\r\nsuper=0\r\n'
stop_editor
check "nothing was saved in the build folder" test ! -e "$build/010.ini"
check "velmar-cards, installed beside it, lists that card folder by default" \
  grep -q '^010 ' <<<"$("$VELMAR_HOME/velmar-cards" list)"

# Installing again (a rebuild with run.sh) leaves the cards as they are.
output=$("$source_dir/tools/install.sh" "$build" 2>&1)
check "a second install does not announce the card folder again" not_grep "installed in" "$output"
check "a second install keeps the saved card" \
  has_bytes "$VELMAR_HOME/010.ini" '[head]\r\nrare=5\r\nmaxlv=\r\nminlv=\r\nsuper=0\r\n'

# The build folder goes (rm -rf build, git clean, a fresh clone): the card
# loads in the installed program, and saved under another ID gives the same file.
rm -rf "$build"
start_editor "$VELMAR_HOME/velmar"
typ "010"; key ctrl+o
key shift+Tab shift+Tab shift+Tab; typ "011"; key ctrl+s
check "after the build folder is gone the card loads" same_bytes "$VELMAR_HOME/011.ini" "$VELMAR_HOME/010.ini"
check "and it is the card saved before" \
  has_bytes "$VELMAR_HOME/011.ini" '[head]\r\nrare=5\r\nmaxlv=\r\nminlv=\r\nsuper=0\r\n'

echo "install: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
