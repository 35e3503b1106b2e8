#!/usr/bin/env bash
# What Kestrova costs when nobody uses it: the processor time of the whole
# program over a stretch left alone after start-up (the greeting over, the
# tip of the day and the toolbar open, the character idling), and of the
# character alone while idling and while animating (bench_character_cpu).
#   bench/idle_cpu.sh [seconds]     (default 60; builds first)
# Runs on a display of its own, with no window manager (tests/e2e/desktop.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/build.sh >/dev/null

display=94
screen_size=1280x800
wm=none
. tests/e2e/desktop.sh
# Only the program's start below asks for the character's log.
unset QT_LOGGING_RULES

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
