#!/bin/sh
# Installs what the build needs, builds the application and runs it: a scan of your home
# folder, one line per category as it finishes.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target Dovrane
exec build/bin/Dovrane --scan-trace "$@"
