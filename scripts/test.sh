#!/bin/sh
# Installs what building and testing need, checks the sources' format, and builds and tests
# twice, a compiler warning failing either build:
#  - build-release: GCC, Release (-O3) with the hardening flags Debian's packages build with
#    (fortified calls warn of results left unchecked), installed as a distribution lays it out
#    (the tool stand-ins below lib/<multiarch>, not libexec), every test;
#  - build-clang: clang with AddressSanitizer and UndefinedBehaviorSanitizer, every test again,
#    and the fuzz harnesses, each run once over its corpus and regressions.
# Exits non-zero on any failure. The tests run in a random order: each test program starts from
# a fresh folder of its own, so no test may lean on one that ran before it.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --tests
./scripts/check-format.sh

jobs=$(nproc)

hardening="-D_FORTIFY_SOURCE=2 -fstack-protector-strong -Wformat -Werror=format-security"
CC=gcc CXX=g++ cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DDOVRANE_BUILD_TESTS=ON \
    -DCMAKE_C_FLAGS="$hardening" -DCMAKE_CXX_FLAGS="$hardening" \
    -DDOVRANE_WERROR=ON -DCMAKE_INSTALL_LIBEXECDIR=lib/x86_64-linux-gnu
cmake --build build-release -j "$jobs"
ctest --test-dir build-release --output-on-failure --schedule-random -j "$jobs"

CC=clang CXX=clang++ cmake -S . -B build-clang -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DDOVRANE_SANITIZE=ON -DDOVRANE_FUZZ=ON -DDOVRANE_BUILD_TESTS=ON -DDOVRANE_WERROR=ON
cmake --build build-clang -j "$jobs"
# LeakSanitizer cannot run under some tracers and containers; keep every other check then.
leaks=1
if ASAN_OPTIONS=detect_leaks=1 build-clang/bin/DovraneKitTests --gtest_list_tests 2>&1 \
        | grep -q "LeakSanitizer has encountered a fatal error"; then
    echo "LeakSanitizer is not available here; running without leak detection"
    leaks=0
fi
ASAN_OPTIONS="detect_leaks=$leaks:abort_on_error=1:strict_string_checks=1" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    ctest --test-dir build-clang --output-on-failure --schedule-random -j "$jobs"
ASAN_OPTIONS="detect_leaks=$leaks" ./fuzz/run-once.sh build-clang
