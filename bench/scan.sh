#!/bin/sh
# Times `Dovrane --scan-trace` against `du -s` over the same synthetic home of about a million
# files and prints both times, their ratio and the peak memory of each.
#
#   bench/scan.sh [FILES] [HOME-FOLDER]
#
# The home is generated once and kept (delete it to start afresh).
set -eu
cd "$(dirname "$0")/.."
files=${1:-1000000}
home=${2:-/tmp/dovrane-bench-home}

./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target Dovrane make_home >/dev/null

if [ ! -d "$home" ]; then
    echo "Generating $home ..."
    build/bin/make_home "$home" "$files"
fi

measure() { # label, command...
    label=$1; shift
    out=$(mktemp)
    /usr/bin/time -f "%e %M" -o "$out" "$@" >/dev/null
    read -r seconds kilobytes <"$out"
    rm -f "$out"
    echo "$label $seconds $kilobytes"
}

# One pass each to warm the page cache, then the timed passes.
du -s "$home" >/dev/null
HOME="$home" TRACE_PROJECTS="$home/Projects" build/bin/Dovrane --scan-trace >/dev/null

set -- $(measure du du -s "$home")
du_s=$2; du_kb=$3
set -- $(measure dovrane env HOME="$home" TRACE_PROJECTS="$home/Projects" build/bin/Dovrane --scan-trace)
dv_s=$2; dv_kb=$3

printf '%-22s %8s s %10s KB peak\n' "du -s" "$du_s" "$du_kb"
printf '%-22s %8s s %10s KB peak\n' "Dovrane --scan-trace" "$dv_s" "$dv_kb"
awk -v a="$dv_s" -v b="$du_s" 'BEGIN { if (b > 0) printf "ratio Dovrane / du: %.2f\n", a / b }'
