#!/bin/sh
# Runs the README's test command (scripts/test.sh) while every core is kept busy by other work,
# as on a shared machine: a test that fails only here waits on time, not on what it waits for.
# CI does not run it.
#
#   scripts/busy-test.sh [runs] [-- command [argument…]]
#
# `runs` (default 1) runs the command that many times in a row, stopping at the first failure;
# a command after `--` runs instead of scripts/test.sh (one test program under load, say).
# Exits with the command's status. The burners, one per core, end with this script however it
# ends: a trap ends them (after the running command, for a TERM sent to this script alone), and
# each also ends by itself once this script is gone.
set -eu
cd "$(dirname "$0")/.."

runs=1
if [ $# -gt 0 ] && [ "$1" != "--" ]; then
    runs=$1
    shift
fi
case $runs in
'' | *[!0-9]* | 0)
    echo "usage: scripts/busy-test.sh [runs] [-- command [argument…]]" >&2
    exit 2
    ;;
esac
if [ $# -gt 0 ]; then
    if [ "$1" != "--" ] || [ $# -lt 2 ]; then
        echo "usage: scripts/busy-test.sh [runs] [-- command [argument…]]" >&2
        exit 2
    fi
    shift
else
    set -- ./scripts/test.sh
fi

burners=""
# KILL, which no shell can catch: one just started may not have run its command yet and would
# take a TERM as its own shell's, and lose it.
# shellcheck disable=SC2317 # called from the traps
stop_burners() {
    for pid in $burners; do
        kill -KILL "$pid" 2>/dev/null || true
    done
    for pid in $burners; do
        wait "$pid" 2>/dev/null || true
    done
    burners=""
}
trap stop_burners EXIT
trap 'stop_burners; trap - EXIT; exit 130' INT
trap 'stop_burners; trap - EXIT; exit 143' TERM HUP

cores=$(nproc)
count=0
while [ "$count" -lt "$cores" ]; do
    # Counting keeps the core busy; between counts it looks whether this script still runs (a
    # script killed outright is a zombie until its parent takes notice).
    sh -c 'while read -r _ _ state _ <"/proc/$1/stat" && [ "$state" != Z ]; do
               i=0; while [ "$i" -lt 200000 ]; do i=$((i + 1)); done
           done' burner $$ 2>/dev/null &
    burners="$burners $!"
    count=$((count + 1))
done
echo "busy-test: $cores cores kept busy"

run=1
status=0
while [ "$run" -le "$runs" ]; do
    echo "busy-test: run $run of $runs: $*"
    "$@" || status=$?
    if [ "$status" -ne 0 ]; then
        echo "busy-test: run $run failed with status $status" >&2
        exit "$status"
    fi
    run=$((run + 1))
done
echo "busy-test: $runs run(s) passed"
exit 0
