#!/usr/bin/env bash
# Installs what the suite needs and runs it in phases, fastest first:
#   1. the source's format (clang-format), unit and window tests (Qt's offscreen platform)
#   2. real-input tests (the program under Xvfb, driven with xdotool)
#   3. the tests of phases 1 and 2 built with AddressSanitizer and UBSan
#   4. fuzzing of the profile reader and writer (VELMAR_FUZZ_SECONDS, default 60)
#   5. the Windows build (mingw-w64) and its tests under Wine
# Each phase prints a heading and one result line; the failing tests' output
# is shown, the full logs are kept in the build folders. The last line counts
# every test of every phase: "N passed, M failed". Exits 1 when one failed.
set -uo pipefail
cd "$(dirname "$0")"
jobs=$(nproc)
fuzz_seconds=${VELMAR_FUZZ_SECONDS:-60}
passed=0 failed=0

tools/setup.sh suite || exit 2

heading() { printf '\n== %s\n' "$*"; }
result() {  # result PHASE PASSED FAILED [NOTE]
  printf -- '-- %s: %d passed, %d failed%s\n' "$1" "$2" "$3" "${4:+ ($4)}"
  passed=$((passed + $2)); failed=$((failed + $3))
}
configure_and_build() {  # configure_and_build DIR CMAKE_OPTIONS...
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" >/dev/null && tools/build.sh "$dir"
}
# Runs ctest in DIR with the given options; shows only the failing tests.
run_ctest() {  # run_ctest PHASE DIR CTEST_OPTIONS...
  local phase=$1 dir=$2 log; shift 2
  log=$dir/ctest-${phase// /-}.log
  ctest --test-dir "$dir" --output-on-failure "$@" >"$log" 2>&1
  local rc=$? summary total bad
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n1)
  if [ -z "$summary" ]; then
    grep -v '^Internal ctest' "$log" | tail -n 20
    result "$phase" 0 1 "ctest found no tests or did not finish; log: $log"
    return
  fi
  bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$summary")
  total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$summary")
  if [ "$rc" -ne 0 ]; then
    grep -vE '^ +Start +[0-9]+:|Test +#[0-9]+: .* Passed +[0-9.]+ sec$|^Internal ctest|^Test project|^$' "$log"
    ((bad > 0)) || bad=1
  fi
  result "$phase" $((total - bad)) "$bad" "log: $log"
}

export QT_QPA_PLATFORM=offscreen

heading "unit and window tests"
# A source file that clang-format would change fails the phase.
mapfile -t unformatted < <(git ls-files -- '*.cpp' '*.h' '*.c' 2>/dev/null |
  xargs -r clang-format --dry-run 2>&1 | sed -nE 's/^([^:]+):[0-9]+:[0-9]+: (warning|error): code should be clang-formatted.*/\1/p' | sort -u)
if ((${#unformatted[@]})); then
  printf 'not formatted (clang-format -i FILE): %s\n' "${unformatted[@]}"
  result "source format" 0 1
else
  result "source format" 1 0
fi
if configure_and_build build -DVELMAR_TESTS=ON; then
  run_ctest "unit and window tests" build -j"$jobs" -LE real_input
else
  result "unit and window tests" 0 1 "the build failed"
fi

heading "real-input tests"
if [ -x build/velmar ]; then
  run_ctest "real-input tests" build -L real_input
else
  result "real-input tests" 0 1 "nothing built to test"
fi

heading "tests built with AddressSanitizer and UndefinedBehaviorSanitizer"
# The install test builds and installs a program of its own: nothing of it
# runs sanitized.
if configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DVELMAR_SANITIZE=ON \
     -DVELMAR_TESTS=ON -DVELMAR_BENCHMARKS=OFF; then
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_ctest "sanitizer tests" build-asan -j"$jobs" -LE install
else
  result "sanitizer tests" 0 1 "the build failed"
fi

heading "fuzzing the profile reader and writer for $fuzz_seconds s"
if cmake -S fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ >/dev/null && tools/build.sh build-fuzz; then
  mkdir -p build-fuzz/corpus
  log=build-fuzz/fuzz.log
  if build-fuzz/profile_fuzzer -max_total_time="$fuzz_seconds" -timeout=10 -print_final_stats=1 \
       -artifact_prefix=build-fuzz/ \
       build-fuzz/corpus fuzz/corpus >"$log" 2>&1; then
    runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$log")
    result "fuzzing" 1 0 "${runs:-?} inputs, no crash; log: $log"
  else
    grep -vE '^(INFO|#[0-9]+|MERGE|Dictionary|"|###)|NEW_FUNC|^ +#[0-9]+ 0x' "$log" | tail -n 25
    result "fuzzing" 0 1 "the fuzzer found a fault; log: $log"
  fi
else
  result "fuzzing" 0 1 "the build failed"
fi

heading "Windows build under Wine"
# One Wine prefix per run, in the build folder; every Windows test shares it.
export WINEPREFIX=$PWD/build-windows/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
if tools/windows/build.sh -DVELMAR_TESTS=ON -DVELMAR_LINUX_CARDS="$PWD/build/velmar-cards" &&
   wineboot -i >/dev/null 2>&1; then
  run_ctest "Windows tests" build-windows -j"$jobs"
else
  result "Windows tests" 0 1 "the Windows build or the Wine prefix failed"
fi
wineserver -k 2>/dev/null

echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
