#!/bin/sh
# A longer fuzzing campaign than CI runs: every harness for SECONDS (default 600), at most
# JOBS (default 4) at a time. Each harness grows its own corpus under OUT (default
# BUILD_DIR/fuzz-campaign), starting from the seeds and the regressions; crashes, timeouts and
# leaks land there too. At the end the executions of every harness are listed, and the run
# fails if anything was found.
# Usage: fuzz/campaign.sh BUILD_DIR [SECONDS] [JOBS] [OUT]
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
LSAN_OPTIONS="suppressions=$here/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export LSAN_OPTIONS
# AddressSanitizer records the call stack of every allocation and keeps each distinct one for
# good. Its quick unwinder follows frame pointers, and through Qt's frames, built without them,
# it reads stacks that are new each time: the drop-list harness grew to 1.9 GB in six minutes
# that way, with no leak. Campaigns record no allocation stacks; the access that fails is still
# reported with its own, and fuzz/run-once.sh on the saved input shows where the memory came from.
ASAN_OPTIONS="malloc_context_size=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export ASAN_OPTIONS

# One harness: fuzz/campaign.sh --one NAME BIN SECONDS OUT (what the main run starts per harness).
if [ "${1:-}" = "--one" ]; then
    name="$2" bin="$3" seconds="$4" out="$5"
    mkdir -p "$out/$name/corpus"
    case "$name" in
    PlistFuzzer) dict="$here/dictionaries/plist.dict" ;;
    AppcastFuzzer) dict="$here/dictionaries/appcast.dict" ;;
    JsonRecordsFuzzer | CaskIndexFuzzer | SignatureFuzzer | ToolOutputsFuzzer) dict="$here/dictionaries/json.dict" ;;
    *) dict="" ;;
    esac
    # Room beyond the largest seed: a whole settings file, a journal row of many items, a
    # name as long as a file system takes. Left alone, libFuzzer stays near the seeds' size.
    case "$name" in
    SettingsFileFuzzer | StoreRowsFuzzer | TrashFuzzer) maxlen=65536 ;;
    *) maxlen="" ;;
    esac
    # The icons are read in the window, where no decode may take gigabytes: a tighter bound
    # finds an input that claims them (libFuzzer also refuses any one allocation beyond it).
    case "$name" in
    AppIconFuzzer) rss=2048 ;;
    *) rss=4096 ;;
    esac
    set -- -max_total_time="$seconds" -timeout=20 -rss_limit_mb="$rss" -print_final_stats=1 \
        -artifact_prefix="$out/$name/" ${dict:+-dict="$dict"} ${maxlen:+-max_len="$maxlen"} "$out/$name/corpus"
    for seeds in "$here/corpus/$name" "$here/regressions/$name"; do
        if [ -d "$seeds" ]; then set -- "$@" "$seeds"; fi
    done
    "$bin/$name" "$@" >"$out/$name/log" 2>&1 || true
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$name/log" | tail -n 1)"
    echo "$name ${runs:-?} executions"
    exit 0
fi

bin="$(cd "${1:?usage: $0 BUILD_DIR [SECONDS] [JOBS] [OUT]}" && pwd)/bin"
seconds="${2:-600}"
jobs="${3:-4}"
out="${4:-$(dirname "$bin")/fuzz-campaign}"
mkdir -p "$out"

for source in "$here"/*Fuzzer.cpp; do
    basename "$source" .cpp
done | xargs -P "$jobs" -I{} "$here/campaign.sh" --one {} "$bin" "$seconds" "$out" | tee "$out/executions.txt"

found="$(find "$out" -maxdepth 2 \( -name 'crash-*' -o -name 'timeout-*' -o -name 'leak-*' -o -name 'oom-*' \) -print)"
if [ -n "$found" ]; then
    echo "Found:"
    echo "$found"
    exit 1
fi
echo "Nothing found."
