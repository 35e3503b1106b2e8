#!/usr/bin/env bash
# Runs one test executable the way every test runs: offscreen, in a home of
# its own that is removed afterwards, in a UTF-8 locale.
set -u
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/config" "$scratch/data" "$scratch/runtime"
chmod 700 "$scratch/runtime"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data"
export XDG_RUNTIME_DIR="$scratch/runtime" LANG=C.UTF-8 LC_ALL=C.UTF-8
export QT_QPA_PLATFORM=offscreen
"$@"
