#!/usr/bin/env bash
# Installs the built editor into its card folder and registers it with the
# desktop (cmake --install), then moves cards that earlier versions saved in
# the build folder into the card folder, never over a card already there.
#   tools/install.sh BUILD_DIR
# The card folder is $VELMAR_HOME, or ~/Velmar. Run by run.sh.
set -euo pipefail

build=$(cd "$1" && pwd)
home=${VELMAR_HOME:-$HOME/Velmar}
case $home in /*) ;; *) home=$PWD/$home ;; esac
home=$(realpath -m -- "$home")

# A card folder inside a build folder would go with the next clean build.
case $home/ in
  "$build"/*) echo "install: the card folder $home is inside the build folder $build;" \
                   "set VELMAR_HOME to a folder of its own" >&2; exit 1 ;;
esac

first_time=1; [ -e "$home/velmar" ] && first_time=0
mkdir -p -- "$home"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! cmake --install "$build" --prefix "$home" >"$log" 2>&1; then
  cat "$log" >&2
  echo "install: could not install into $home" >&2
  exit 1
fi

if ((first_time)); then
  echo "Velmar is installed in $home: your cards are saved there, beside the program."
  echo "Back them up by copying the .ini files of that folder (VELMAR_HOME sets another folder)."
fi

shopt -s nullglob
moved=()
for card in "$build"/*.ini; do
  name=${card##*/}
  if [ -e "$home/$name" ] || [ -L "$home/$name" ]; then
    echo "Left $card where it is: $home already holds a card named $name."
  elif mv -n -- "$card" "$home/$name" && [ ! -e "$card" ]; then
    moved+=("$name")
  else
    echo "Could not move $card to $home." >&2
  fi
done
if ((${#moved[@]})); then
  echo "Moved ${#moved[@]} card(s) from $build to $home: ${moved[*]}"
fi
