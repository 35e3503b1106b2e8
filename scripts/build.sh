#!/usr/bin/env bash
# Configures and builds Kestrova into build/ (the program is build/bin/kestrova,
# its data files beside it). Extra arguments go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -gt 2 ] && jobs=2
# A compiler cache, where one is installed, makes rebuilds of a fresh clone quick.
cache=()
command -v ccache >/dev/null && cache=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${cache[@]}" "$@" >/dev/null
cmake --build build -j "$jobs"
