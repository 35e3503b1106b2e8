#!/usr/bin/env bash
# What Kestrova costs when nobody uses it: the processor time of the whole
# program over a stretch left alone after start-up (the greeting over, the
# tip of the day and the toolbar open, the character idling), and of the
# character alone while idling and while animating (bench_character_cpu).
#   bench/idle_cpu.sh [seconds]     (default 60; builds first)
# Runs under its own Xvfb unless DISPLAY is set.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/build.sh >/dev/null

scratch=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  display=94
  . tests/e2e/free_display.sh
  Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$display"
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi
mkdir -p "$scratch/runtime" && chmod 700 "$scratch/runtime"
export XDG_RUNTIME_DIR="$scratch/runtime"

ticks() { # ticks <pid>: user + system clock ticks so far
  awk '{ print $14 + $15 }' "/proc/$1/stat"
}

home="$scratch/home"
mkdir -p "$home/.config/Kestrova"
printf '[Run]\nNumber=5\n' > "$home/.config/Kestrova/Kestrova.ini"
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
  QT_LOGGING_RULES="kestrova.character.debug=true" build/bin/kestrova > "$scratch/log" 2>&1 &
app_pid=$!
# The greeting is said (or shown) and put away; then leave it alone.
for _ in $(seq 300); do grep -q "Show complete" "$scratch/log" && break; sleep 0.1; done
sleep 15
hz=$(getconf CLK_TCK)
before=$(ticks "$app_pid"); t0=$(date +%s%N)
sleep "$seconds"
after=$(ticks "$app_pid"); t1=$(date +%s%N)
idles=$(grep -c "Idle [0-9]:" "$scratch/log" || true)
kill -TERM "$app_pid"; wait "$app_pid" 2>/dev/null || true; app_pid=""
awk -v a="$before" -v b="$after" -v hz="$hz" -v t0="$t0" -v t1="$t1" -v n="$idles" 'BEGIN {
  wall = (t1 - t0) / 1e9
  printf "%-40s %12s %12s\n", "", "CPU of a core", "target"
  printf "%-40s %11.3f%% %11.1f%%\n", sprintf("Kestrova left alone %.0f s (%d idle anims)", wall, n), 100 * (b - a) / hz / wall, 0.1
}'
build/bin/bench_character_cpu build/bin/characters/kess "$seconds" 20 | tail -n 2
