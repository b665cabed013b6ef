#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite: the unit, window
# and real-input tests; the same tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer; and a one-minute fuzzing run of the profile store.
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc)

tools/setup.sh
BUILD_DIR=build-asan CMAKE_EXTRA_ARGS="-DCMAKE_BUILD_TYPE=Debug -DVELMAR_SANITIZE=ON -DVELMAR_BENCHMARKS=OFF" \
  tools/setup.sh
cmake -S fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j"$jobs"

export QT_QPA_PLATFORM=offscreen

echo "== fuzzing the profile reader and writer for 60 s"
mkdir -p build-fuzz/corpus
build-fuzz/profile_fuzzer -max_total_time=60 -timeout=10 -print_final_stats=1 \
  build-fuzz/corpus fuzz/corpus 2>&1 | tail -n 12

echo "== tests built with AddressSanitizer and UndefinedBehaviorSanitizer"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== tests"
ctest --test-dir build --output-on-failure -j"$jobs"
