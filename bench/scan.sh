#!/bin/sh
# Times `Dovrane --scan-trace` against `du -s` and the floor walker (bench/floor_walk.cpp, the
# least a parallel walk can do) on synthetic homes of five shapes (spread, one-folder, caches in
# Library/Caches, cache-home in ~/.cache, deep), the three tools interleaved round by round. Each
# round's Dovrane time is divided by that round's du and floor times, so a machine busy with
# other work moves all three alike; the medians of those ratios are printed with the median times
# and peak memory. Warm cache always; cold cache as well when /proc/sys/vm/drop_caches can be
# written (root).
#
#   bench/scan.sh [FILES] [ROUNDS] [SHAPES]
#
# The homes are generated in a temporary folder under /tmp, deleted at the end.
# Environment: JOBS (build jobs, 3), COLD_ROUNDS (the rounds with a dropped cache, 3), DOVRANE
# (another build of the application to measure instead of build/bin/Dovrane), BASELINE (a
# second build timed in the same rounds, on a line of its own: before and after a change).
set -eu
cd "$(dirname "$0")/.."
files=${1:-300000}
rounds=${2:-5}
shapes=${3:-"spread one-folder caches cache-home deep"}
cold_rounds=${COLD_ROUNDS:-3}
dovrane=${DOVRANE:-build/bin/Dovrane}
baseline=${BASELINE:-}
tools="du floor dovrane"
[ -n "$baseline" ] && tools="$tools baseline"

./scripts/install-deps.sh --tests >/dev/null
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDOVRANE_BUILD_BENCHMARKS=ON >/dev/null
cmake --build build -j "${JOBS:-3}" --target Dovrane make_home floor_walk >/dev/null

cold=0
if sync && (echo 3 >/proc/sys/vm/drop_caches) 2>/dev/null; then
    cold=1
fi

work=$(mktemp -d /tmp/dovrane-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
mkdir -m 700 "$work/runtime"

# The environment Dovrane runs in: the home and its XDG folders, no display.
home_environment() { # home
    export HOME="$1" XDG_CONFIG_HOME="$1/.config" XDG_CACHE_HOME="$1/.cache" XDG_DATA_HOME="$1/.local/share" \
        XDG_RUNTIME_DIR="$work/runtime" TRACE_PROJECTS="$1/Projects" QT_QPA_PLATFORM=offscreen
}

# The trace does not stop the application's own launch scan, which starts when no saved scan
# younger than six hours exists. The application runs once until it has saved its scan, so that
# in the timed runs the trace is the only walk.
save_launch_scan() { # home
    (home_environment "$1" && exec "$dovrane") >/dev/null 2>&1 &
    app=$!
    i=0
    while [ "$i" -lt 600 ] && [ -z "$(find "$1/.cache" "$1/.local/share" -name last-scan.json 2>/dev/null)" ]; do
        sleep 0.1
        i=$((i + 1))
    done
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
    [ "$i" -lt 600 ] || echo "(the application saved no scan of $1: its launch scan runs beside each trace)" >&2
}

# Runs one tool on one home and appends "microseconds kilobytes" to $work/TOOL.
timed() { # tool, home
    tool=$1; home=$2
    if [ "$mode" = cold ]; then
        sync
        echo 3 >/proc/sys/vm/drop_caches
    fi
    case $tool in
        du) set -- du -s "$home" ;;
        floor) set -- build/bin/floor_walk "$home" 8 ;;
        dovrane) set -- "$dovrane" --scan-trace ;;
        baseline) set -- "$baseline" --scan-trace ;;
    esac
    start=$(date +%s%N)
    (home_environment "$home" && exec /usr/bin/time -f "%M" -o "$work/kb" "$@") >/dev/null 2>&1 || true
    end=$(date +%s%N)
    echo "$(( (end - start) / 1000 )) $(cat "$work/kb")" >>"$work/$tool"
}

median() { # numbers on standard input, one a line
    sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print 0; else print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

column() { # file, column
    awk -v c="$2" '{ print $c }' "$1" | median
}

ratios() { # dividend file, divisor file: the median of the per-round ratios of the times
    paste "$1" "$2" | awk '$3 > 0 { print $1 / $3 }' | median
}

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-13s %-4s %7s %8s %7s %7s %8s %7s %8s %7s  %s\n' shape mode "du s" "floor s" "dv s" dv/du dv/floor "du MB" "floor MB" "dv MB" target
for shape in $shapes; do
    home=$work/home-$shape
    build/bin/make_home "$home" "$files" "$shape" >/dev/null
    save_launch_scan "$home"
    modes=warm
    [ "$cold" = 1 ] && modes="warm cold"
    for mode in $modes; do
        n=$rounds
        if [ "$mode" = warm ]; then # one untimed pass of each fills the cache
            for tool in $tools; do timed "$tool" "$home"; done
        else
            n=$cold_rounds
        fi
        for tool in $tools; do rm -f "$work/$tool"; done
        i=0
        while [ "$i" -lt "$n" ]; do
            for tool in $tools; do timed "$tool" "$home"; done
            i=$((i + 1))
        done
        for tool in $tools; do
            [ "$tool" = du ] || [ "$tool" = floor ] && continue
            label=$shape
            [ "$tool" = baseline ] && label="$shape(b)"
            awk -v s="$label" -v m="$mode" -v a="$(column "$work/du" 1)" -v b="$(column "$work/floor" 1)" \
                -v c="$(column "$work/$tool" 1)" -v r="$(ratios "$work/$tool" "$work/du")" \
                -v q="$(ratios "$work/$tool" "$work/floor")" -v x="$(column "$work/du" 2)" \
                -v y="$(column "$work/floor" 2)" -v z="$(column "$work/$tool" 2)" \
                'BEGIN { met = q <= (m == "warm" ? 1.3 : 1.5) && !(m == "warm" && s ~ /^cache/ && r > 0.45)
                         printf "%-13s %-4s %7.3f %8.3f %7.3f %7.2f %8.2f %7.1f %8.1f %7.1f  %s\n", s, m, a / 1e6, b / 1e6, c / 1e6, r, q, x / 1024, y / 1024, z / 1024, met ? "met" : "missed" }'
        done
    done
done
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
[ "$cold" = 1 ] || echo "(cold cache not measured: /proc/sys/vm/drop_caches cannot be written here)"
echo "(medians of $rounds warm and $cold_rounds cold interleaved rounds of homes of about $files files; dv/du and dv/floor"
echo " are medians of each round's ratio (targets: dv/floor 1.3 warm, 1.5 cold; caches dv/du 0.45 warm); MB = peak resident memory)"
