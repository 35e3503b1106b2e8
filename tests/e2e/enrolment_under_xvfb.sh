#!/usr/bin/env bash
# Learning the user's voice through a microphone: Character Options,
# Listening, "Learn my voice…"; a dozen of the sentences the window shows
# are said (flite) into a PulseAudio source of this run's own, each with
# Record and Stop; Learn My Voice makes the profile, and the next listening
# uses it (its log says so). "Forget my voice" then takes it away.
#   enrolment_under_xvfb.sh <program> <display number>
# With KESTROVA_SHOTS=<folder> it saves enrolment.png there.
set -u
program=$1
display=${2:-84}
shots=${KESTROVA_SHOTS:-}
. "$(dirname "$0")/desktop.sh"
export QT_LOGGING_RULES="kestrova.character.debug=true;kestrova.speech.debug=true"

pulse_pid=""
stop_pulse() { [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null; wait "$pulse_pid" 2>/dev/null; pulse_pid=""; }
trap 'stop_pulse; cleanup' EXIT

count() { grep -c -- "$1" "$log"; }
wait_more() { # wait_more <text> <count before> <seconds>
  local i
  for i in $(seq $(( $3 * 10 ))); do [ "$(count "$1")" -gt "$2" ] && return 0; sleep 0.1; done
  return 1
}

mkdir -p "$scratch/pulse-home"
HOME="$scratch/pulse-home" pulseaudio -n --daemonize=no --exit-idle-time=-1 --log-target=stderr \
  --load="module-native-protocol-unix auth-anonymous=1" \
  --load="module-null-sink sink_name=speakers" \
  --load="module-null-sink sink_name=microphone norewinds=1" \
  --load="module-remap-source master=microphone.monitor source_name=mic" >"$scratch/pulse.out" 2>&1 &
pulse_pid=$!
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl set-default-sink speakers
pactl set-default-source mic

check "the character is shown" start enrol "[Run]\nNumber=5\n[Rest]\nX=400\nY=300\n"
wait_for "$log" "Speak complete" 20
xdotool mousemove "$cx" "$cy" click 3
sleep 0.8
xdotool key Up Return
options=$(window_named "Character Options" 10)
check "Character Options opens" test -n "$options"
xdotool windowactivate --sync "$options" key alt+l
sleep 0.5
xdotool windowactivate --sync "$options" key alt+v
check "Learn my voice… opens the enrolment window" wait_for "$log" "Voice enrolment shown" 10
enrol=$(window_named "Learn My Voice" 10)
check "titled Learn My Voice" test -n "$enrol"

# say_shown: the sentence the window shows, said into the microphone
# between Record and Stop.
say_shown() {
  local line text recorded
  line=$(grep "Enrolment sentence" "$log" | tail -n 1)
  text=${line#*: }
  flite -voice awb -t "$text" -o "$scratch/raw.wav" &&
    sox "$scratch/raw.wav" -r 16000 -c 1 -b 16 "$scratch/said.wav" pad 0.3 0.5 || return 1
  recorded=$(count "Recorded sentence")
  local started
  started=$(count "Recording from")
  xdotool windowactivate --sync "$enrol" key alt+r
  wait_more "Recording from" "$started" 5 || return 1
  sleep 0.3
  paplay --device=microphone "$scratch/said.wav" || return 1
  sleep 0.3
  xdotool windowactivate --sync "$enrol" key alt+s
  wait_more "Recorded sentence" "$recorded" 5 || return 1
  xdotool windowactivate --sync "$enrol" key alt+n
}
said=0
for n in $(seq 12); do say_shown && said=$((said + 1)); done
check "twelve sentences recorded through the microphone (got $said)" test "$said" -eq 12
shot enrolment
xdotool windowactivate --sync "$enrol" key alt+l
check "Learn My Voice makes the profile" wait_for "$log" "Voice profile made in" 90
grep -F "Learning the voice failed" "$log"
sleep 0.5
shot enrolment-done

# The next listening uses it.
xdotool mousemove "$cx" "$cy" click --repeat 2 --delay 80 1
check "the next listening takes the profile" wait_for "$log" "Listening with the voice profile in" 15
xdotool key Escape
sleep 0.5
# Forget my voice: the listening after that is the stock model's.
xdotool windowactivate --sync "$options" key alt+f
check "Forget my voice" wait_for "$log" "Voice profile forgotten" 5
xdotool mousemove "$cx" "$cy" click --repeat 2 --delay 80 1
check "the listening after that has the stock model" wait_for "$log" "Listening with the stock speech model" 15
stop; rc=$?
check "SIGTERM ends the run with status 0 (was $rc)" test "$rc" -eq 0
finish "$log"
