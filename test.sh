#!/usr/bin/env bash
# Installs what is missing, builds, runs every test, then builds the .deb
# and checks it.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh test
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
(cd build && ctest --output-on-failure -j"$(nproc)" "$@")
# The .deb, built and checked on a whole run (not when ctest is given a choice).
if [ $# -eq 0 ]; then
    ./scripts/package-check.sh build
fi
