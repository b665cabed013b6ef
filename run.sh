#!/usr/bin/env bash
# Installs what building and running the editor needs, builds it, installs it
# into its card folder ($VELMAR_HOME, or ~/Velmar) and starts it from there.
set -euo pipefail
home=${VELMAR_HOME:-$HOME/Velmar}
case $home in /*) ;; *) home=$PWD/$home ;; esac
export VELMAR_HOME=$home
cd "$(dirname "$0")"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run.sh: no display found; start it from a desktop session (or: xvfb-run ./run.sh)" >&2
  exit 1
fi

tools/setup.sh program
# A first configure leaves out the tests and benchmarks (their packages come
# with test.sh); a build folder that has them keeps them.
options=()
[ -e build/CMakeCache.txt ] || options=(-DVELMAR_TESTS=OFF -DVELMAR_BENCHMARKS=OFF)
cmake -S . -B build "${options[@]}" >/dev/null
tools/build.sh build --target velmar velmar-cards
tools/install.sh build
exec "$VELMAR_HOME/velmar" "$@"
