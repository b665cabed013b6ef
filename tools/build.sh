#!/usr/bin/env bash
# Builds a configured build folder, printing only warnings and errors:
#   tools/build.sh BUILD_DIR [cmake --build options...]
set -uo pipefail
dir=$1; shift
cmake --build "$dir" -j"$(nproc)" "$@" 2>&1 |
  grep -vE '^-- |^\[ *[0-9]+%\] |^make(\[[0-9]+\])?: (Entering|Leaving) directory|^Consolidate compiler generated'
exit "${PIPESTATUS[0]}"
