#!/bin/sh
# Installs what the build needs, checks the sources' format, builds everything twice (plain, and
# with AddressSanitizer and UndefinedBehaviorSanitizer) and runs every test in both builds, then
# builds the fuzz harnesses with clang and runs each once over its corpus and regressions. Exits
# non-zero on any failure. The tests run in a random order: each test program starts from a fresh
# folder of its own, so no test may lean on one that ran before it.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/check-format.sh

jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDOVRANE_WERROR=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure --schedule-random -j "$jobs"

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DDOVRANE_SANITIZE=ON \
    -DDOVRANE_WERROR=ON
cmake --build build-sanitize -j "$jobs"
# LeakSanitizer cannot run under some tracers and containers; keep every other check then.
leaks=1
if ASAN_OPTIONS=detect_leaks=1 build-sanitize/bin/DovraneKitTests --gtest_list_tests 2>&1 \
        | grep -q "LeakSanitizer has encountered a fatal error"; then
    echo "LeakSanitizer is not available here; running without leak detection"
    leaks=0
fi
ASAN_OPTIONS="detect_leaks=$leaks:abort_on_error=1:strict_string_checks=1" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    ctest --test-dir build-sanitize --output-on-failure --schedule-random -j "$jobs"

# The fuzz harnesses need clang's libFuzzer; everything in this build carries the sanitizers.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DDOVRANE_FUZZ=ON -DDOVRANE_BUILD_TESTS=OFF -DDOVRANE_WERROR=ON
cmake --build build-fuzz -j "$jobs" --target fuzzers
ASAN_OPTIONS="detect_leaks=$leaks" ./fuzz/run-once.sh build-fuzz
