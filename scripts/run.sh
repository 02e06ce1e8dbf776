#!/bin/sh
# Installs what building and running need, builds the application (with its tool stand-ins and
# module, all that `cmake --install build` copies; no tests, no benchmarks) and opens its main
# window. Where there is no display (no X11 or Wayland session, and no QT_QPA_PLATFORM chosen),
# it scans your home folder instead, one line per category as it finishes.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDOVRANE_BUILD_TESTS=OFF -DDOVRANE_BUILD_BENCHMARKS=OFF
cmake --build build -j "$(nproc)" --target application
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: running the scan trace instead of the window (Dovrane --scan-trace)." >&2
    exec build/bin/Dovrane --scan-trace "$@"
fi
exec build/bin/Dovrane "$@"
