#!/bin/sh
# Times `Dovrane --scan-trace` against `du -s` and the floor walker (bench/floor_walk.cpp, the
# least a parallel walk can do) on synthetic homes of four shapes (spread, one-folder, caches,
# deep), interleaved round by round, and prints the median times, Dovrane's ratio to each and
# the peak memory of each. Warm cache always; cold cache as well
# when /proc/sys/vm/drop_caches can be written.
#
#   bench/scan.sh [FILES] [HOME-PREFIX] [ROUNDS] [SHAPES]
#
# Homes are generated once as HOME-PREFIX-SHAPE and kept (delete them to start afresh).
set -eu
cd "$(dirname "$0")/.."
files=${1:-1000000}
prefix=${2:-/tmp/dovrane-bench-home}
rounds=${3:-5}
shapes=${4:-"spread one-folder caches deep"}

./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target Dovrane make_home floor_walk >/dev/null

cold=0
if sync && (echo 3 >/proc/sys/vm/drop_caches) 2>/dev/null; then
    cold=1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs one tool on one home and appends "seconds kilobytes" to $work/TOOL.
timed() { # tool, home
    tool=$1; home=$2
    if [ "$mode" = cold ]; then
        sync
        echo 3 >/proc/sys/vm/drop_caches
    fi
    case $tool in
        du) set -- du -s "$home" ;;
        floor) set -- build/bin/floor_walk "$home" 8 ;;
        dovrane) set -- env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
                     XDG_DATA_HOME="$home/.local/share" TRACE_PROJECTS="$home/Projects" \
                     QT_QPA_PLATFORM=offscreen build/bin/Dovrane --scan-trace ;;
    esac
    /usr/bin/time -f "%e %M" -a -o "$work/$tool" "$@" >/dev/null
}

median() { # file, column
    awk -v c="$2" '{ print $c }' "$1" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

printf '%-10s %-4s %8s %8s %8s %8s %8s %10s %10s %10s\n' shape mode du floor dovrane dv/du dv/floor "du MB" "floor MB" "dv MB"
for shape in $shapes; do
    home=$prefix-$shape
    if [ ! -d "$home" ]; then
        echo "Generating $home ..." >&2
        build/bin/make_home "$home" "$files" "$shape" >&2
    fi
    modes=warm
    [ "$cold" = 1 ] && modes="warm cold"
    for mode in $modes; do
        rm -f "$work/du" "$work/floor" "$work/dovrane"
        if [ "$mode" = warm ]; then # one untimed pass of each fills the cache
            timed du "$home"; timed floor "$home"; timed dovrane "$home"
            rm -f "$work/du" "$work/floor" "$work/dovrane"
        fi
        i=0
        while [ "$i" -lt "$rounds" ]; do
            timed du "$home"
            timed floor "$home"
            timed dovrane "$home"
            i=$((i + 1))
        done
        du_s=$(median "$work/du" 1); fl_s=$(median "$work/floor" 1); dv_s=$(median "$work/dovrane" 1)
        du_kb=$(median "$work/du" 2); fl_kb=$(median "$work/floor" 2); dv_kb=$(median "$work/dovrane" 2)
        awk -v s="$shape" -v m="$mode" -v a="$du_s" -v b="$fl_s" -v c="$dv_s" -v x="$du_kb" -v y="$fl_kb" -v z="$dv_kb" \
            'BEGIN { dv_du = a > 0 ? c / a : 0; dv_fl = b > 0 ? c / b : 0
                     printf "%-10s %-4s %8.2f %8.2f %8.2f %8.2f %8.2f %10.1f %10.1f %10.1f\n", s, m, a, b, c, dv_du, dv_fl, x / 1024, y / 1024, z / 1024 }'
    done
done
[ "$cold" = 1 ] || echo "(cold cache not measured: /proc/sys/vm/drop_caches cannot be written here)"
echo "(medians of $rounds interleaved rounds; dv/du = Dovrane's time over du's, dv/floor = over the floor walker's (targets: 1.3 warm, 1.5 cold); MB = median peak resident memory)"
