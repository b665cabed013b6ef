#!/usr/bin/env bash
# The Windows start-up benchmark: builds velmar.exe and the benchmark's
# programs in Release with mingw-w64 into build-bench-windows and compares,
# under Wine on Xvfb, velmar.exe's start-up with a window of one Japanese
# label (startup_compare.exe: process start to the first idle after the
# window is painted). Called by bench/run.sh; also runs alone:
#   bench/windows/run.sh
# Environment: VELMAR_BENCH_WINDOWS_BUILD (default build-bench-windows at the
# top of the tree), VELMAR_STARTUP_RUNS (runs per program, default 30).
# Exits 1 when the ratio is above 1.2, 2 when the benchmark failed.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${VELMAR_BENCH_WINDOWS_BUILD:-$root/build-bench-windows}
runs=${VELMAR_STARTUP_RUNS:-30}

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/tools/windows/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DVELMAR_TESTS=OFF -DVELMAR_BENCHMARKS=ON >/dev/null || exit 2
"$root/tools/build.sh" "$build" --target benchmarks || exit 2

# A prefix of its own, where Windows' Japanese UI font is Noto Sans CJK JP.
export WINEPREFIX=$build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1 || exit 2
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Yu Gothic UI" /t REG_SZ /d "Noto Sans CJK JP" /f \
  >/dev/null 2>&1 || exit 2
# Wine's desktop process belongs to the X server it starts on: none may be
# left from before, and this one goes before its X server does.
wineserver -w
winpath() { printf 'Z:%s' "${1//\//\\}"; }
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash -c \
  'wine "$1" --runs "$2" "$3" "$4"; status=$?; wineserver -w; exit $status' _ \
  "$build/bench/windows/startup_compare.exe" "$runs" "$(winpath "$build/velmar.exe")" \
  "$(winpath "$build/bench/windows/startup_minimal.exe")"
