#!/bin/sh
# `make run` as a newcomer starts it, on the X display xvfb-run gives this script, driven
# through the tray by `wintests run` in the same prefix: after 退出 it must return 0 within
# 10 s, leaving nothing of that prefix running.
# Usage: run.sh SOURCE-DIR WINTESTS
prefix="$1/build/wine-run-prefix" log=$(mktemp)
unset TOVREL_WITH_WINE WINEPREFIX
fail() { echo "FAILED: $*"; exit 1; }
setsid "$1/scripts/run" 2>"$log" & run=$!
trap 'kill -9 -$run 2>/dev/null; WINEPREFIX=$prefix wineserver -k 2>/dev/null; rm -f "$log"' EXIT
trap 'exit 130' INT TERM
# Its prefix is made and its desktop sized once it says where Tovrel is.
timeout --foreground 60 sh -c "until grep -q 退出 $log; do sleep 0.1; done" || fail "$(cat "$log")"
WINEPREFIX=$prefix wine "$2" run || exit 1
timeout --foreground 10 tail --pid=$run -f /dev/null || fail "scripts/run still runs"
wait $run || fail "scripts/run returned $?"
left=$(grep -lsz "^WINEPREFIX=$prefix\$" /proc/[0-9]*/environ)
[ -z "$left" ] || fail "left running:" $left
