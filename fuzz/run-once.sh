#!/bin/sh
# Runs every harness once over its seed corpus and its regression inputs: what CI does, in
# seconds. A crash, a broken check, a leak or an input slower than the timeout fails the run.
# Usage: fuzz/run-once.sh BUILD_DIR   (a build configured with -DDOVRANE_FUZZ=ON)
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
bin="$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)/bin"

# Leaks of system libraries are not the harnesses' to mend.
LSAN_OPTIONS="suppressions=$here/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export LSAN_OPTIONS

failed=""
for source in "$here"/*Fuzzer.cpp; do
    name="$(basename "$source" .cpp)"
    inputs=""
    for folder in "$here/corpus/$name" "$here/regressions/$name"; do
        [ -d "$folder" ] && inputs="$inputs $folder"
    done
    # The same bound as the campaign's: no icon decode may take gigabytes.
    case "$name" in
    AppIconFuzzer) rss=2048 ;;
    *) rss=4096 ;;
    esac
    echo "== $name"
    # -runs=0: read and run every input once, mutate nothing.
    # shellcheck disable=SC2086
    if ! "$bin/$name" -runs=0 -max_len=16777216 -timeout=20 -rss_limit_mb="$rss" -artifact_prefix="$bin/$name-" $inputs >"$bin/$name.log" 2>&1; then
        tail -n 40 "$bin/$name.log"
        failed="$failed $name"
    fi
done
if [ -n "$failed" ]; then
    echo "Harnesses that failed:$failed"
    exit 1
fi
echo "Every harness ran clean over its corpus and regressions."
