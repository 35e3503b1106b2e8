#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test of Kestrova: the
# suite on the normal build, then the same suite on a build checked by
# AddressSanitizer and UndefinedBehaviorSanitizer, and every fuzz target for
# a minute (scripts/sanitize.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build run test
# The tests include a real word processor: a build without it is an error.
scripts/build.sh -DKESTROVA_REQUIRE_WRITER=ON
(cd build && ctest --output-on-failure --timeout 600 -j 2)
scripts/sanitize.sh
