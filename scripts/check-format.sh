#!/bin/sh
# Fails when a C++ source of ours differs from what .clang-format makes of it, naming each
# place; with --fix it formats them in place instead.
set -eu
cd "$(dirname "$0")/.."

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    files=$(git ls-files '*.cpp' '*.h')
else
    files=$(find kit Dovrane tools bench fuzz -name '*.cpp' -o -name '*.h')
fi

if [ "${1:-}" = "--fix" ]; then
    echo "$files" | xargs clang-format -i
else
    echo "$files" | xargs clang-format --dry-run --Werror
fi
