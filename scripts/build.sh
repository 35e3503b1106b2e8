#!/usr/bin/env bash
# Configures and builds Kestrova into build/ (the program is build/bin/kestrova,
# its data files beside it). Extra arguments go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -gt 2 ] && jobs=2
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build build -j "$jobs"
