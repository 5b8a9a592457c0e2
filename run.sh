#!/usr/bin/env bash
# Installs what is missing, builds the program (not the tests or the
# benchmarks), and starts Waylark from build/app/.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target waylark
cd build/app
exec ./waylark "$@"
