#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test of Kestrova.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build run test
scripts/build.sh
cd build
ctest --output-on-failure --timeout 600 -j 2
