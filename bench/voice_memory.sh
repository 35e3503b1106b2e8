#!/usr/bin/env bash
# Resident memory of Kestrova at rest and after its first spoken command,
# heard through the real microphone path: a PulseAudio server of this run's
# own with a null sink "microphone" whose monitor (remapped as "mic") is the
# default source, under Xvfb with openbox. "go to mouse pointer", recorded
# with flite, is played into the sink after a double click on the character.
#   bench/voice_memory.sh [display]   (builds kestrova first; display 95 unless given)
# Prints "resident at rest, MB", "resident after the first spoken command,
# MB" and the growth beside its target (30 MB).
set -u
cd "$(dirname "$0")/.."
cmake --build build --target kestrova >/dev/null || exit 1
program=$PWD/build/bin/kestrova
display=${1:-95}
shots=""
. tests/e2e/desktop.sh
export QT_LOGGING_RULES="kestrova.character.debug=true;kestrova.speech.debug=true"
TargetMb=30

start_pulse microphone

flite -voice slt -t "go to mouse pointer" -o "$scratch/raw.wav" &&
  sox "$scratch/raw.wav" -r 16000 -c 1 -b 16 "$scratch/command.wav" pad 0.2 1.0 || exit 1

rss_mb() { awk -v k="$2" '$1 == k":" { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }

start memory "[Run]\nNumber=5\n[Rest]\nX=400\nY=300\n" || { echo "the character was not shown"; exit 1; }
for _ in $(seq 300); do [ "$(grep -c 'Speak complete' "$log")" -ge 2 ] && break; sleep 0.1; done
sleep 2
rest=$(rss_mb "$app_pid" VmRSS)

heard=""
for try in 1 2 3; do
  xdotool mousemove "$cx" "$cy" click --repeat 2 --delay 80 1
  wait_for "$log" "Recording from" 5 && { heard=yes; break; }
done
[ -n "$heard" ] || { echo "listening did not start"; tail -20 "$log"; exit 1; }
sleep 0.3
paplay --device=microphone "$scratch/command.wav"
wait_for "$log" "Heard by voice" 15 || { echo "nothing was heard"; tail -20 "$log"; exit 1; }
grep -m1 -E 'Command "[^"]*" confidence' "$log"
sleep 2
after=$(rss_mb "$app_pid" VmRSS)
# Between commands the recogniser goes on making what later results need.
sleep 20
later=$(rss_mb "$app_pid" VmRSS)
peak=$(rss_mb "$app_pid" VmHWM)
stop >/dev/null

growth=$(awk -v a="$after" -v r="$rest" 'BEGIN { printf "%.1f", a - r }')
printf '%-48s %8s MB\n' "resident at rest" "$rest"
printf '%-48s %8s MB\n' "resident after the first spoken command" "$after"
printf '%-48s %8s MB\n' "resident 20 s after it" "$later"
printf '%-48s %8s MB\n' "peak resident" "$peak"
printf '%-48s %8s MB %8s  %s\n' "growth with the first spoken command" "$growth" "<= $TargetMb" \
  "$(awk -v g="$growth" -v t="$TargetMb" 'BEGIN { print (g <= t) ? "met" : "NOT met" }')"
