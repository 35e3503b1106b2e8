#!/usr/bin/env bash
# Commands reaching the real program on a virtual X display with a window
# manager, driven with xdotool: the right-click menu lists the program's menu
# commands and "Quit" ends the program; typing "quit" in the listening prompt
# (opened by a double click) does the same; a phrase that matches nothing
# gets the first "not understood" answer.
#   commands_under_xvfb.sh <program> <display number>
# With KESTROVA_SHOTS=<folder> it also saves menu.png, prompt.png and
# commands.png of the popup menu, the prompt and the commands window there.
set -u
program=$1
display=${2:-72}
shots=${KESTROVA_SHOTS:-}
. "$(dirname "$0")/desktop.sh"

# 1. The popup menu.
check "the character is shown (menu run)" start menu
xdotool mousemove "$cx" "$cy" click 3
check "a right click opens the command menu" wait_for "$log" "Command menu at" 5
check "the right click plays Alert" wait_for "$log" "Play Alert" 5
sleep 0.3 # the menu maps after it is logged
shot menu
# Down from no entry goes to the first: General, Accessories, My Office,
# Internet, Quit.
xdotool key Down Down Down Down Down Return
asked=$(date +%s%N)
check "choosing Quit raises it at 100" wait_for "$log" 'Command "Quit" confidence 100' 5
check "the farewell is said" wait_for "$log" 'Speak "Goodbye' 5
ended; rc=$?
took=$(( ($(date +%s%N) - asked) / 1000000 ))
check "the menu's Quit ends the program with status 0 within 2 s (was $rc, ${took} ms)" test "$rc" -eq 0 -a "$took" -lt 2000
check "the menu held the six commands and the service's three entries" grep -q "Command menu at .* with 10 entries" "$log"
menu_log=$log

# 2. The listening prompt: "quit".
check "the character is shown (prompt run)" start prompt
xdotool mousemove "$cx" "$cy" click --repeat 2 --delay 80 1
check "a double click starts listening" wait_for "$log" "Listening" 5
sleep 0.3
shot prompt
xdotool type --delay 40 quit
xdotool key Return
asked=$(date +%s%N)
check "the typed phrase is heard" wait_for "$log" 'Heard "quit"' 5
check "it raises Quit at 100" wait_for "$log" 'Command "Quit" confidence 100' 5
check "the farewell is said" wait_for "$log" 'Speak "Goodbye' 5
ended; rc=$?
took=$(( ($(date +%s%N) - asked) / 1000000 ))
check "typing quit ends the program with status 0 within 2 s (was $rc, ${took} ms)" test "$rc" -eq 0 -a "$took" -lt 2000
prompt_log=$log

# 3. Nothing close: "xyzzy".
check "the character is shown (retry run)" start retry
xdotool mousemove "$cx" "$cy" click --repeat 2 --delay 80 1
check "a double click starts listening" wait_for "$log" "Listening" 5
sleep 0.3
xdotool type --delay 40 xyzzy
xdotool key Return
check "xyzzy matches nothing" wait_for "$log" 'Command "" confidence -100 from "xyzzy"' 5
check "the first answer plays DontRecognize" wait_for "$log" "Play DontRecognize" 5
check "and says one of the first prompts" wait_for "$log" 'Speak "Huh?|What?|Say Again?"' 5
check "followed by the advice" wait_for "$log" 'Speak "Better try that again."' 15
if [ -n "$shots" ]; then
  # The commands window: the menu's last entry.
  xdotool mousemove "$cx" "$cy" click 3
  wait_for "$log" "Command menu at" 5 && sleep 0.3
  xdotool key Up Return
  wait_for "$log" "Commands window shown" 5 && sleep 0.5
  shot commands
fi
stop; rc=$?
check "SIGTERM ends the retry run with status 0 (was $rc)" test "$rc" -eq 0
retry_log=$log

finish "$menu_log" "$prompt_log" "$retry_log"
