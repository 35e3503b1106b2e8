#!/usr/bin/env bash
# Changing the character while the program runs, on a virtual X display
# with a window manager: Kess greets; "change agent" typed in the listening
# prompt opens the chooser; Rivet is picked with "Switch to it now" ticked.
# Kess says goodbye and hides, Rivet appears at the rest position and
# greets, the chooser's choice is stored, the listening key opens and
# closes Rivet's listening, and "quit" typed in Rivet's prompt ends the
# program with Rivet's farewell.
#   switch_under_xvfb.sh <program> <display number>
# With KESTROVA_SHOTS=<folder> it saves chooser.png (the chooser, box
# ticked) and switched.png (Rivet greeting) there.
set -u
program=$1
display=${2:-73}
shots=${KESTROVA_SHOTS:-}
. "$(dirname "$0")/desktop.sh"

# The id of the first request logged as "#<id> <what>..." after the first
# line holding <after> (both fixed texts).
request_after() { # request_after <after> <what>
  awk -v after="$1" -v what="$2" '
    !on && index($0, after) { on = 1; next }
    on && match($0, /#[0-9]+ /) && substr($0, RSTART + RLENGTH, length(what)) == what {
      print substr($0, RSTART + 1, RLENGTH - 2); exit }' "$log"
}
# Waits until request <id> of <kind> has completed.
completed() { # completed <id> <kind> <seconds>
  [ -n "$1" ] && wait_for "$log" "#$1 $2 complete" "$3"
}

check "Kess is shown" start switch "[Run]\nNumber=5\n[Rest]\nX=420\nY=300\n"
check "it is Kess" grep -q "Loaded Kess from" "$log"
greeting=$(request_after "Loaded Kess from" 'Speak "The time is')
check "Kess's greeting completes" completed "$greeting" Speak 20

# The chooser, from the listening prompt.
check "the prompt opens on Kess" listen_and_type "change agent"
check "\"change agent\" raises ChangeAgent" wait_for "$log" 'Command "ChangeAgent" confidence 100' 5
check "the chooser is shown" wait_for "$log" "Character chooser shown" 5
chooser=$(window_named "Choose a Character" 10)
check "the chooser window is on the screen" test -n "$chooser"
# Keys go to the activated window as a user's would. (After Return was sent
# to the chooser with XSendEvent, xdotool key --window, the next real Return
# in the listening prompt was not taken.)
xdotool windowactivate --sync "$chooser" 2>/dev/null
sleep 0.5
# Kess (the one in use) is selected; Rivet is the next in the list.
xdotool key Down
xdotool key alt+n
sleep 1
shot chooser
xdotool key Return
check "the switch is asked for" wait_for "$log" 'Switch to "rivet" asked for' 5
check "Rivet is prepared" wait_for "$log" "Prepared Rivet from" 5
check "the choice is stored as the default" wait_for "$log" 'Default character "rivet", in use now' 5
check "the chooser's choice is in the service's settings" \
  grep -q "^Default=rivet" "$scratch/home-switch/.config/Kestrova/CharacterService.ini"

# Kess's farewell, then Rivet in its place.
farewell=$(request_after 'Switch to "rivet" asked for' 'Speak "Goodbye')
check "Kess says goodbye" completed "$farewell" Speak 20
hide=$(request_after 'Switch to "rivet" asked for' "Hide")
check "Kess hides" completed "$hide" Hide 10
check "Rivet takes Kess's place" wait_for "$log" 'Switched "default" to Rivet' 5
check "Kess is let go" grep -q 'Unloaded Kess ("default")' "$log"
shown_count() { grep -c 'Shown at 420 300 ' "$log"; }
for _ in $(seq 100); do [ "$(shown_count)" -ge 2 ] && break; sleep 0.1; done
check "Rivet is shown at the rest position, as Kess was ($(shown_count) shows there)" test "$(shown_count)" -eq 2
welcome=$(request_after 'Switched "default" to Rivet' 'Speak "Good ')
check "Rivet greets" test -n "$welcome"
sleep 0.6
shot switched
second=$(request_after 'Switched "default" to Rivet' 'Speak "The time is')
check "Rivet's greeting completes" completed "$second" Speak 20
# Every request made on Kess (the greeting, the farewell, and whatever came
# between) was reported complete before Rivet took over.
before_switch=$(sed -n '1,/Switched "default" to Rivet/p' "$log")
made=$(grep -oE '#[0-9]+ (Speak|Think|Play|Show|Hide|MoveTo|GestureAt)' <<< "$before_switch" | cut -d' ' -f1 | sort -u)
open=0
for id in $made; do grep -qE "$id [A-Za-z]+ complete" <<< "$before_switch" || open=$((open + 1)); done
check "every one of Kess's $(wc -w <<< "$made") requests was reported before Rivet took over ($open not)" \
  test "$open" -eq 0 -a -n "$made"
check "Kess's windows are gone" bash -c "! xdotool search --onlyvisible --name '^Kess\$' >/dev/null 2>&1"
check "Rivet's window is on the screen" shown Rivet

# The listening key reaches Rivet: it opens Rivet's listening, and closes it.
sleep 0.5
xdotool key Scroll_Lock
check "the listening key is taken" wait_for "$log" "Listening key" 5
check "Rivet listens" bash -c "sed -n '/Switched \"default\" to Rivet/,\$p' '$log' | grep -q ': Listening\$'"
sleep 0.5
xdotool key Scroll_Lock
check "the listening key ends it again" wait_for "$log" "Listening ends (" 5

# A command typed afterwards runs on Rivet: double click on it where it
# stands, "quit", and Rivet says the farewell.
at=$(grep -oE 'Shown at -?[0-9]+ -?[0-9]+ size [0-9]+ [0-9]+' "$log" | tail -n 1)
set -- $at
cx=$(( $3 + $6 / 2 )); cy=$(( $4 + $7 / 2 ))
check "the prompt opens on Rivet" listen_and_type quit
check "typing quit raises Quit" wait_for "$log" 'Command "Quit" confidence 100' 5
bye=$(request_after 'Command "Quit" confidence 100' 'Speak "Goodbye')
check "Rivet says goodbye" completed "$bye" Speak 20
ended; rc=$?
check "the program ends with status 0 (was $rc)" test "$rc" -eq 0

finish "$log"
