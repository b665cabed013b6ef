#!/usr/bin/env bash
# Installs what building, running and testing Velmar needs, then configures
# and builds into build/. Quick when everything is already there.
set -euo pipefail

packages=(build-essential cmake pkg-config qt6-base-dev qt6-qpa-plugins fonts-noto-cjk
          libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
          xvfb xauth xdotool imagemagick x11-utils dbus at-spi2-core gir1.2-atspi-2.0 python3-gi fonts-dejavu-core)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${CMAKE_EXTRA_ARGS:-} >/dev/null
echo "setup: building in $build_dir"
# Only what was compiled and what went wrong, not every up-to-date target.
cmake --build "$build_dir" -j"$(nproc)" | { grep -vE '^\[ *[0-9]+%\] (Built target|Automatic MOC)' || true; }
