#!/usr/bin/env bash
# The checked build: Kestrova and its tests built with clang under
# AddressSanitizer and UndefinedBehaviorSanitizer into build-sanitize/, the
# whole test suite run there, then every fuzz target (fuzz/fuzz_<reader>.cpp)
# for a bounded time from its seed corpus. Any finding fails the run; the
# input that caused it is kept in build-sanitize/fuzz-findings/.
#   scripts/sanitize.sh [--fuzz-only] [seconds per fuzz target, default 60]
# --fuzz-only builds and runs the fuzz targets but not the suite.
# Expects the packages of scripts/deps.sh build run test (scripts/test.sh
# installs them first).
set -euo pipefail
cd "$(dirname "$0")/.."
suite=yes
if [ "${1:-}" = "--fuzz-only" ]; then suite=""; shift; fi
seconds=${1:-${KESTROVA_FUZZ_SECONDS:-60}}
root=$(pwd)
out=build-sanitize
cache=()
command -v ccache >/dev/null && cache=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${cache[@]}" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DKESTROVA_FUZZ=ON -DKESTROVA_REQUIRE_WRITER=ON >/dev/null
cmake --build "$out" -j 2

# Leaks are not looked for in the suite: Qt, fontconfig and the speech
# engines keep caches for the life of the process that LeakSanitizer would
# report at every exit. The fuzz targets do look for them.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The package test installs what the build holds into the system: the
# sanitised build is not what anyone installs.
if [ -n "$suite" ]; then
  (cd "$out" && ctest --output-on-failure --timeout 900 -j 2 -E '^e2e_deb$')
fi

findings="$root/$out/fuzz-findings"
mkdir -p "$findings"
failed=()
for target in "$out"/fuzz/fuzz_*; do
  # The folder also holds the build's own files for each target.
  [ -f "$target" ] && [ -x "$target" ] || continue
  name=$(basename "$target"); reader=${name#fuzz_}
  work=$(mktemp -d)
  cp "fuzz/corpus/$reader"/* "$work"/
  echo "== $name for ${seconds} s"
  if ! ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" "$target" -max_total_time="$seconds" \
      -timeout=10 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 \
      -artifact_prefix="$findings/$name-" "$work" 2>"$work.log"; then
    failed+=("$name")
    tail -n 60 "$work.log"
  else
    grep -E '^stat::(number_of_executed_units|peak_rss_mb|new_units_added)' "$work.log" | tr '\n' ' '; echo
  fi
  rm -rf "$work" "$work.log"
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "Fuzz findings in: ${failed[*]} (inputs in $findings)" >&2
  exit 1
fi
echo "Every fuzz target ran ${seconds} s and found nothing."
