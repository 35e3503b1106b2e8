#!/usr/bin/env bash
# bench_voice_latency through the program's real microphone path: a
# PulseAudio server of this run's own (its own HOME and runtime folder, so
# no other sound server is met) with a null sink "microphone" whose monitor,
# remapped as the source "mic", is the default source. The recordings are
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

scratch=$(mktemp -d)
pulse_pid=""
cleanup() { [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$scratch"; }
trap cleanup EXIT
mkdir -p "$scratch/home" "$scratch/runtime"
chmod 700 "$scratch/runtime"
export HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime"
unset PULSE_SERVER
pulseaudio -n --daemonize=no --exit-idle-time=-1 --log-target=stderr \
  --load="module-native-protocol-unix auth-anonymous=1" \
  --load="module-null-sink sink_name=microphone norewinds=1" \
  --load="module-remap-source master=microphone.monitor source_name=mic" >"$scratch/pulse.out" 2>&1 &
pulse_pid=$!
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl set-default-source mic
[ -n "${KESTROVA_BENCH_DEBUG:-}" ] && pactl list short sinks && pactl list short sources
QT_QPA_PLATFORM=offscreen build/bin/bench_voice_latency --pulse microphone "$corpus" "$@"
