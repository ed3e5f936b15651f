#!/bin/sh
# `make run` as a newcomer starts it, on the X display xvfb-run gives this script, driven
# through the tray by `wintests run` in the same prefix: after 退出 it must return 0 within
# 10 s, leaving nothing of that prefix running.
# Usage: run.sh SOURCE-DIR WINTESTS
prefix="$1/build/wine-run-prefix" log=$(mktemp)
unset TOVREL_WITH_WINE WINEPREFIX
setsid "$1/scripts/run" 2>"$log" &
run=$!
trap 'kill -9 -$run 2>/dev/null; WINEPREFIX=$prefix wineserver -k 2>/dev/null; rm -f "$log"' EXIT
# Its prefix is made and its desktop sized once it says where Tovrel is.
timeout 60 sh -c "until grep -q 退出 $log; do sleep 0.1; done" || { cat "$log"; echo FAILED; exit 1; }
WINEPREFIX=$prefix wine "$2" run || exit 1
timeout 10 tail --pid=$run -f /dev/null || { echo "FAILED: scripts/run still runs"; exit 1; }
wait $run || { echo "FAILED: scripts/run returned $?"; exit 1; }
left=$(grep -lsz "^WINEPREFIX=$prefix\$" /proc/[0-9]*/environ)
[ -z "$left" ] || { echo "FAILED: left running:" $left; exit 1; }
