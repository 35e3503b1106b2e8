#!/usr/bin/env bash
# bench_voice_latency through the program's real microphone path: a
# PulseAudio server of this run's own (tests/e2e/desktop.sh's: its own HOME
# and runtime folder, so no other sound server is met) with a null sink
# "microphone" whose monitor, remapped as the source "mic", is the default
# source. The recordings are
# played into the sink; the listener records from the default source.
# The sink "microphone" is made without rewinds: a null sink renders up to
# 2 s of silence ahead, and its monitor has already passed that on when a
# recording starts to play, so the listener heard each recording 1.3-1.5 s
# late in most runs (a microphone has no such delay). Without rewinds the
# sink renders no further ahead than its streams ask, and a tone played
# into it reached the listener 40-75 ms later.
#   bench/voice_pulse.sh <corpus-dir> [files]   (builds bench_voice_latency first)
# A corpus: bench/speech/make_corpus.sh <dir> latency (or bench).
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 1 ] || { echo "usage: $0 <corpus-dir> [files]" >&2; exit 2; }
corpus=$(cd "$1" && pwd)
shift
cmake --build build --target bench_voice_latency >/dev/null

display=96
wm=none
. tests/e2e/desktop.sh
mkdir -p "$scratch/home"
export HOME="$scratch/home"
start_pulse microphone
[ -n "${KESTROVA_BENCH_DEBUG:-}" ] && pactl list short sinks && pactl list short sources
QT_QPA_PLATFORM=offscreen build/bin/bench_voice_latency --pulse microphone "$corpus" "$@"
