#!/usr/bin/env bash
# Builds the benchmarks in Release into build-bench and runs them all:
#   bench/run.sh
# Environment: VELMAR_BENCH_BUILD (build folder, default build-bench at the top
# of the tree), VELMAR_STARTUP_RUNS (start-up runs per program, default 30),
# TMPDIR (where the benchmarks' scratch card folders go, default /tmp).
# Not part of the test suite. See docs/performance.md.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMAR_BENCH_BUILD:-$root/build-bench}
runs=${VELMAR_STARTUP_RUNS:-30}
bin=$build/bench

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELMAR_BENCHMARKS=ON >/dev/null || exit 2
cmake --build "$build" -j2 --target benchmarks >/dev/null || exit 2

# Qt wants a private runtime folder; a fresh one keeps its warning away.
export XDG_RUNTIME_DIR
XDG_RUNTIME_DIR=$(mktemp -d) || exit 2
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT

status=0
section() { printf '\n== %s\n' "$*"; }

section "machine"
echo "$(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(uname -sr)"
echo "scratch folder filesystem: $(df -T "${TMPDIR:-/tmp}" | awk 'NR==2 {print $2 " on " $1}')"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"

section "profile store: GetINIData / SetINIData (5 repetitions, median is the figure)"
"$bin/profile_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_filter='_Card|readCard|writeCard' || status=2
section "profile store: cost against file size (fit over 64 KB .. 1 MB)"
"$bin/profile_bench" --benchmark_filter='_Size' || status=2

section "velmar-cards: list, export and check of 10,000 cards (5 repetitions)"
"$bin/cards_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true || status=2

section "window: Load and Save of a full four-level card (offscreen, 5 repetitions)"
QT_QPA_PLATFORM=offscreen "$bin/window_bench" --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true || status=2

section "start-up under an X server (Xvfb): editor against one Japanese label, $runs runs each"
xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$bin/startup_compare" --runs "$runs" "$bin/startup_velmar" "$bin/startup_minimal"
rc=$?; [ $rc -eq 2 ] && status=2; [ $rc -eq 1 ] && [ $status -eq 0 ] && status=1

section "start-up offscreen: editor against one Japanese label, $runs runs each"
QT_QPA_PLATFORM=offscreen \
    "$bin/startup_compare" --runs "$runs" "$bin/startup_velmar" "$bin/startup_minimal"
rc=$?; [ $rc -eq 2 ] && status=2; [ $rc -eq 1 ] && [ $status -eq 0 ] && status=1

section "targets"
echo "Load (BM_cmdLoad_Click) < 0.5 ms; Save (BM_cmdSave_Click, fsync included) < 3 ms;"
echo "start-up ratio <= 1.25; GetINIData/SetINIData linear in file size (BigO oN, low RMS);"
echo "velmar-cards list, export and check of 10,000 cards (BM_command_*) < 1 s."
exit $status
