#!/usr/bin/env bash
# Spoken commands reaching the real program: a PulseAudio server of this
# run's own with two null sinks, "speakers" (where the character's voice
# goes) and "microphone" (whose monitor is the default source, the
# program's microphone). Recordings made with flite are played into the
# microphone sink while the character listens:
#  - double click, "check mail": the mail check runs;
#  - double click, "what is the weather": not a command, the first graded
#    "not understood" answer;
#  - double click, "what time is it": the character says the time;
#  - the listening key (Scroll Lock), "quit program": the program ends;
# and counts what was heard right, wrong and not taken.
# A run with no sound server at all: the prompt opens for typing and the
# balloon says once that no microphone was found.
#   voice_under_xvfb.sh <program> <display number>
# With KESTROVA_SHOTS=<folder> it saves hearing.png and nomic.png there.
set -u
program=$1
display=${2:-77}
shots=${KESTROVA_SHOTS:-}
. "$(dirname "$0")/desktop.sh"
export QT_LOGGING_RULES="kestrova.character.debug=true;kestrova.speech.debug=true"


# The recordings: flite's "slt" voice at 16 kHz, with the pauses a speaker
# leaves around a command.
say_file() { # say_file <name> <phrase>
  flite -voice slt -t "$2" -o "$scratch/$1-raw.wav" &&
    sox "$scratch/$1-raw.wav" -r 16000 -c 1 -b 16 "$scratch/$1.wav" pad 0.2 1.0
}
check "flite records the phrases" bash -c "$(declare -f say_file); scratch='$scratch'; say_file check 'check mail' && say_file weather 'what is the weather' && say_file time 'what time is it' && say_file quit 'quit program'"

# 1. No sound server: typing only, and the balloon says why once.
check "the character is shown (no sound server)" start nomic
xdotool mousemove "$cx" "$cy" click --repeat 2 --delay 80 1
check "a double click starts listening" wait_for "$log" "Listening" 5
check "the microphone is missing" wait_for "$log" "Listening by typing only" 5
check "the balloon says so" wait_for "$log" 'Notice "I can'"'"'t hear you: no microphone was found' 5
sleep 0.5
shot nomic
xdotool type --delay 40 xyzzy
xdotool key Return
check "typing still works" wait_for "$log" 'Command "" confidence -100 from "xyzzy"' 5
wait_for "$log" 'Speak "Better try that again."' 15
sleep 1
xdotool mousemove "$cx" "$cy" click --repeat 2 --delay 80 1
sleep 1
check "listening again, typing only" test "$(grep -c "Listening by typing only" "$log")" -eq 2
check "the note is said only once" test "$(grep -c "Notice \"I can't hear you" "$log")" -eq 1
stop; rc=$?
check "SIGTERM ends the run with status 0 (was $rc)" test "$rc" -eq 0
nomic_log=$log

# 2. A sound server with a microphone.
start_pulse microphone
check "the sound server has the microphone as its default source" bash -c "pactl info | grep -q 'Default Source: mic$'"

play() { paplay --device=microphone "$scratch/$1.wav"; }
heard_count() { grep -c "Heard by voice" "$log"; }
wait_heard() { # wait_heard <count before> <seconds>
  local i
  for i in $(seq $(( $2 * 10 ))); do [ "$(heard_count)" -gt "$1" ] && return 0; sleep 0.1; done
  return 1
}

check "the character is shown (microphone)" start voice "[Run]\nNumber=5\n[Rest]\nX=400\nY=300\n[Mail]\n1=127.0.0.1:9\n2=kess\n3=s3cret\n4=0\n"
# The greeting goes to the speakers; listening starts once it is over.
wait_for "$log" "Speak complete" 20
before=$(heard_count)
xdotool mousemove "$cx" "$cy" click --repeat 2 --delay 80 1
check "a double click starts listening" wait_for "$log" "Listening" 5
check "recording from the default source" wait_for "$log" "Recording from" 5
sleep 0.5
play check & player=$!
check "speech is heard" wait_for "$log" "Hearing speech" 10
shot hearing
check "the utterance ends by itself" wait_heard "$before" 15
check "\"check mail\" raises Check Mail above -60" \
  bash -c "grep -qE 'Command \"Check Mail\" confidence (-[0-5]?[0-9]|[0-9]+) from \"check( e)? ?mail\"' '$log'"
check "the mail check runs" wait_for "$log" "Think \"I'll just check the mail\"" 5
check "and tries the server" wait_for "$log" "log-on to pop3://127.0.0.1:9/ failed" 20
wait "$player"

sleep 2
before=$(heard_count)
xdotool mousemove "$cx" "$cy" click --repeat 2 --delay 80 1
check "listening for the second phrase" wait_for "$log" "Recording from" 5
sleep 0.5
play weather
check "the second utterance ends by itself" wait_heard "$before" 15
check "\"what is the weather\" is not understood" wait_for "$log" "Play DontRecognize" 5
check "the first graded prompt is said" wait_for "$log" 'Speak "Huh?|What?|Say Again?"' 5
check "no command was run for it" \
  bash -c "! sed -n '/Heard by voice .*what/,\$p' '$log' | grep -qE 'Command \"[^\"]+\" confidence (-[0-5]?[0-9]|[0-9]+) '"
wait_for "$log" 'Speak "Better try that again."' 15
sleep 1

before=$(heard_count)
xdotool mousemove "$cx" "$cy" click --repeat 2 --delay 80 1
check "listening for the question" wait_for "$log" "Recording from" 5
sleep 0.5
play time
check "the question ends by itself" wait_heard "$before" 15
check "\"what time is it\" raises What Time" wait_for "$log" 'Command "What Time" confidence' 5
check "the time is said" wait_for "$log" 'Speak "The time is ' 5
said=$(grep -oE '#[0-9]+ Speak "The time is ' "$log" | tail -n 1 | cut -d' ' -f1)
wait_for "$log" "$said Speak complete" 15
sleep 1

before=$(heard_count)
xdotool key Scroll_Lock
check "the listening key starts listening" wait_for "$log" "Listening key" 5
sleep 0.8
play quit
check "the last utterance ends by itself" wait_heard "$before" 15
check "\"quit program\" raises Quit" wait_for "$log" 'Command "Quit" confidence' 5
check "the farewell is said" wait_for "$log" 'Speak "Goodbye' 10
ended; rc=$?
check "saying quit ends the program with status 0 (was $rc)" test "$rc" -eq 0
voice_log=$log
grep -E "Heard by voice|Command \"" "$voice_log"
# What reached the program through the microphone, against what was played
# (the first of them the first listening after start-up): a command taken
# above -60 is right or wrong; the sentence that is no command is right
# when it is not taken.
tally=$(grep -oE 'Command "[^"]*" confidence -?[0-9]+ from' "$voice_log" | awk -v expected="Check Mail||What Time|Quit" '
  BEGIN { n = split(expected, want, "|") }
  { name = $0; sub(/^Command "/, "", name); sub(/" confidence.*/, "", name)
    conf = $0; sub(/^.* confidence /, "", conf); sub(/ from$/, "", conf)
    i++; taken = name != "" && conf + 0 > -60
    if (want[i] == "") { if (taken) wrong++; else right++ }
    else if (!taken) rejected++
    else if (name == want[i]) right++
    else wrong++ }
  END { printf "%d %d %d", right, wrong, rejected }')
read -r right wrong rejected <<< "$tally"
echo "Through the microphone: $right right, $wrong wrong, $rejected not taken, of 4"
check "every phrase played into the microphone was heard right ($right of 4)" test "$right" -eq 4

finish "$nomic_log" "$voice_log"
