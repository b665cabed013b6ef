#!/usr/bin/env bash
# Runs a Windows program that makes windows under Wine, on this X server (run
# it inside xvfb-run). Wine's desktop process belongs to the X server it was
# started on: the prefix's server of an earlier test must be gone first, and
# this one's before the X server goes. Tests using it run alone (RUN_SERIAL).
#   wine_on_display.sh PROGRAM [ARGUMENTS...]
wineserver -w
"$(dirname "$0")/../../tools/windows/wine-run.sh" "$@"
status=$?
wineserver -w
exit $status
