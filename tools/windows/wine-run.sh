#!/usr/bin/env bash
# Runs a Windows program under Wine, in the prefix that tools/windows/test.sh
# makes once per run (WINEPREFIX), quietly.
export WINEDEBUG=${WINEDEBUG:--all}
exec wine "$@"
