#!/usr/bin/env bash
# Builds Velmar for 64-bit Windows with mingw-w64 into build-windows/ and
# packs build-windows/Velmar-windows-x64.zip: a folder Velmar/ with the
# programs (statically linked, no DLL beside them) and README.txt.
#   tools/windows/build.sh [cmake options...]   e.g. -DVELMAR_TESTS=ON
set -euo pipefail
cd "$(dirname "$0")/../.."
tools/setup.sh windows
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=tools/windows/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DVELMAR_BENCHMARKS=OFF "$@" >/dev/null
tools/build.sh build-windows
tools/build.sh build-windows --target velmar_zip
echo "build-windows/Velmar-windows-x64.zip"
