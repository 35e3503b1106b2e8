#!/usr/bin/env bash
# bench_voice_latency through the program's real microphone path: the bench
# starts a PulseAudio server of its own (--pulse), plays the recordings
# into its null sink and records them from its default source.
#   bench/voice_pulse.sh <corpus-dir> [files]   (builds bench_voice_latency first)
# A corpus: bench/speech/make_corpus.sh <dir> latency (or bench).
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 1 ] || { echo "usage: $0 <corpus-dir> [files]" >&2; exit 2; }
corpus=$(cd "$1" && pwd)
shift
cmake --build build --target bench_voice_latency >/dev/null
QT_QPA_PLATFORM=offscreen build/bin/bench_voice_latency --pulse "$corpus" "$@"
