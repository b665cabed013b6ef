#!/usr/bin/env bash
# Installs the Debian packages that are missing for one use of the tree:
#   tools/setup.sh program   building and running the editor (run.sh)
#   tools/setup.sh suite     the above, and what the test suite needs (test.sh)
#   tools/setup.sh bench     the above, and what the benchmarks need (bench/run.sh)
#   tools/setup.sh windows   building for Windows (tools/windows/build.sh)
# Quick when everything is already there. Builds nothing.
set -euo pipefail

program_packages=(build-essential cmake pkg-config qt6-base-dev qt6-qpa-plugins fonts-noto-cjk xdg-utils libacl1-dev)
suite_packages=(libgtest-dev libbenchmark-dev clang clang-format git chromium python3-websocket
                xvfb xauth xdotool xclip imagemagick x11-utils desktop-file-utils
                dbus at-spi2-core gir1.2-atspi-2.0 python3-gi fonts-dejavu-core)
bench_packages=(valgrind)
# The Windows build: mingw-w64 to build, Wine to run its tests.
windows_build_packages=(cmake g++-mingw-w64-x86-64-posix)
windows_test_packages=(wine wine64)

case ${1:-} in
  program) wanted=("${program_packages[@]}") ;;
  suite)   wanted=("${program_packages[@]}" "${suite_packages[@]}" "${windows_build_packages[@]}"
                   "${windows_test_packages[@]}") ;;
  bench)   wanted=("${program_packages[@]}" "${suite_packages[@]}" "${windows_build_packages[@]}"
                   "${windows_test_packages[@]}" "${bench_packages[@]}") ;;
  windows) wanted=("${windows_build_packages[@]}") ;;
  *) echo "usage: $0 program|suite|bench|windows" >&2; exit 2 ;;
esac

sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
updated=0
install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  echo "setup: installing ${missing[*]}"
  if ((!updated)); then $sudo apt-get update -qq; updated=1; fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

install_missing "${wanted[@]}"
# The fuzzer's runtime comes with the installed clang's own version
# (clang 14 on Debian 12, 19 on Debian 13).
if [ "$1" = suite ] || [ "$1" = bench ]; then
  install_missing "libclang-rt-$(clang -dumpversion | cut -d. -f1)-dev"
fi
