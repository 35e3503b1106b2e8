#!/usr/bin/env bash
# The character asks when it is not sure, and a double click makes it
# listen whatever it is doing:
#  - first run, a double click while the greeting and the tour offer play:
#    the character stops and listens;
#  - a PulseAudio server of this run's own, its "microphone" null sink's
#    monitor the default source: "quit" said alone (a command that quits,
#    heard below its stricter bar) gets "Did you mean Quit?"; "yes" played
#    into the microphone then quits; in another run "no" runs nothing.
#   asking_under_xvfb.sh <program> <display number>
# With KESTROVA_SHOTS=<folder> it saves question.png there.
set -u
program=$1
display=${2:-83}
shots=${KESTROVA_SHOTS:-}
. "$(dirname "$0")/desktop.sh"
export QT_LOGGING_RULES="kestrova.character.debug=true;kestrova.speech.debug=true"


count() { grep -c -- "$1" "$log"; }
wait_line() { # wait_line <whole line> <seconds>
  local i
  for i in $(seq $(( $2 * 10 ))); do grep -qxF -- "$1" "$log" && return 0; sleep 0.1; done
  return 1
}
wait_more() { # wait_more <text> <count before> <seconds>
  local i
  for i in $(seq $(( $3 * 10 ))); do [ "$(count "$1")" -gt "$2" ] && return 0; sleep 0.1; done
  return 1
}

# 1. A double click during the first run's greeting (no sound server).
check "the character is shown (first run)" start firstrun "[Rest]\nX=400\nY=300\n"
check "it greets" wait_for "$log" 'Speak "Hi! my name is' 5
sleep 1.5
xdotool mousemove "$cx" "$cy" click --repeat 2 --delay 80 1
check "the click stops it" wait_for "$log" "StopAll" 5
check "the double click makes it listen" wait_line "kestrova.character: Listening" 5
stop
firstrun_log=$log

# 2. Spoken answers through a microphone.
say_file() { # say_file <name> <phrase>
  flite -voice slt -t "$2" -o "$scratch/$1-raw.wav" &&
    sox "$scratch/$1-raw.wav" -r 16000 -c 1 -b 16 "$scratch/$1.wav" pad 0.2 1.0
}
check "flite records the phrases" bash -c "$(declare -f say_file); scratch='$scratch'; say_file quit 'quit' && say_file yes 'yes' && say_file no 'no'"
start_pulse microphone
play() { paplay --device=microphone "$scratch/$1.wav"; }

ask_about_quit() { # the question about "quit", asked in a fresh run
  start "$1" "[Run]\nNumber=5\n[Rest]\nX=400\nY=300\n" || return 1
  wait_for "$log" "Speak complete" 20
  xdotool mousemove "$cx" "$cy" click --repeat 2 --delay 80 1
  wait_for "$log" "Recording from" 5 || return 1
  sleep 0.5
  play quit
  wait_for "$log" 'Asking "Did you mean Quit?"' 15 || return 1
  asked_at=$(count "Recording from")
}
answer() { # answer <recording>: played once the question has been said
  wait_more "Recording from" "$asked_at" 15 || return 1
  sleep 0.5
  play "$1"
}

check "\"quit\" said alone is asked about" ask_about_quit yes
check "not run on the guess" bash -c "! grep -q 'Command \"Quit\"' '$log'"
check "the question is shown in the balloon" wait_for "$log" 'Notice "Did you mean Quit?"' 15
sleep 0.3
shot question
check "the answer is listened for" answer yes
check "\"yes\" answers" wait_for "$log" "Answered: Quit" 15
check "and quits" wait_for "$log" 'Speak "Goodbye' 10
ended; rc=$?
check "the program ends with status 0 (was $rc)" test "$rc" -eq 0
yes_log=$log

check "asked again in another run" ask_about_quit no
check "the answer is listened for" answer no
check "\"no\" drops the question" wait_for "$log" "Listening ends (no)" 15
sleep 1
check "and nothing runs" bash -c "! grep -qE 'Command \"Quit\"|Speak \"Goodbye' '$log'"
stop; rc=$?
check "SIGTERM ends the run with status 0 (was $rc)" test "$rc" -eq 0
grep -E "Heard by voice|Command \"|Asking|Answered|Listening ends" "$yes_log" "$log"

finish "$firstrun_log" "$yes_log" "$log"
