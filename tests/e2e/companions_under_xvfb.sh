#!/usr/bin/env bash
# The companion windows in the real program on a virtual X display: a fresh
# start greets, then shows the tip of the day; closing it shows "Quick
# Launch". The first run's tour offer is accepted from its menu and the tour
# steps through its pages. Spoken commands (typed in the listening prompt)
# open the calendar, the search, the open/run window, the about box and the
# alarm; an alarm set a minute ahead rings; a SIGTERM while Open/Run's Browse
# is open ends the run cleanly. Closing "Quick Launch" ends the
# program after the farewell.
#   companions_under_xvfb.sh <program> <display number>
# With KESTROVA_SHOTS=<folder> it saves a screenshot of every window there.
set -u
program=$1
display=${2:-75}
shots=${KESTROVA_SHOTS:-}
. "$(dirname "$0")/desktop.sh"

# A fresh home: the first run, with the tour offer.
check "the character is shown" start first '\n'
first_log=$log
check "the tour is offered" wait_for "$log" 'Speak "Would you like to tour' 10
check "the tip of the day follows the greeting" shown "Tip of the Day"
sleep 0.5; shot tip
check "Quick Launch waits for the tip window" gone "Quick Launch"
# The tour menu pops up at the mouse once the offer has been spoken: "Yes".
check "the character points at the mouse after the offer" wait_for "$log" 'GestureAt' 40
sleep 1
xdotool key Down Return
check "Yes opens the tour, and the character welcomes" wait_for "$log" 'Speak "Welcome to kestrova."' 10
sleep 1.5; shot tour-0
tour=$(window_named "Tour")
client "$tour"
for page in 1 2 3; do
  # "Next" is the middle one of the three buttons at the bottom right.
  xdotool mousemove $((wx + ww - 137)) $((wy + wh - 24)) click 1
  sleep 0.8; shot "tour-$page"
done
check "the last page is read" wait_for "$log" 'Speak "You can get help' 10
# Back to the first page: what the character had still to read of the last
# page stops at once.
help_id=$(grep -m1 -oE '#[0-9]+ Speak "You can get help' "$log" | grep -oE '^#[0-9]+')
for page in 2 1 0; do
  # "Back" is left of "Next".
  xdotool mousemove $((wx + ww - 217)) $((wy + wh - 24)) click 1
  sleep 0.4
done
sleep 0.5; shot tour-back
check "going back to the first page stops the last page's text ($help_id)" bash -c \
  "for i in \$(seq 20); do grep -qE '$help_id Speak complete.*(stopped|dropped)' '$log' && exit 0; sleep 0.1; done; exit 1"
# Next once more, so the character has a page's text to say when the tour
# closes.
xdotool mousemove $((wx + ww - 137)) $((wy + wh - 24)) click 1
check "the second page is read again" bash -c \
  "for i in \$(seq 50); do [ \$(grep -c 'Speak \"Kestrova uses a combination' '$log') -ge 2 ] && exit 0; sleep 0.1; done; exit 1"
check "closing the tour silences the character" close_window "Tour"
check "the character stopped" wait_for "$log" 'StopAll' 5
check "closing the tip window shows Quick Launch" close_window "Tip of the Day"
check "Quick Launch is shown" shown "Quick Launch"
sleep 0.5; shot quick
close_window "Quick Launch"
ended; rc=$?
check "and then ends the program with status 0 (was $rc)" test "$rc" -eq 0
check "the farewell was spoken" grep -q 'Speak "Goodbye' "$log"

# A later run: the tip window, then the other windows by spoken command.
check "a later run shows the character" start later
check "its tip window comes up" shown "Tip of the Day"
close_window "Tip of the Day"
check "and Quick Launch after it" shown "Quick Launch"
# Its Word drop-down by mouse: "My Office" pops that menu up at the pointer.
popup_at_pointer() { # a window of the program's, shown, with the pointer inside
  local w x y
  eval "$(xdotool getmouselocation --shell)"; x=$X; y=$Y
  for w in $(xdotool search --onlyvisible --class kestrova 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    [ "$WIDTH" -lt 400 ] && [ "$HEIGHT" -gt 40 ] && [ "$X" -le "$x" ] && [ "$x" -lt $((X + WIDTH)) ] \
      && [ "$Y" -le "$y" ] && [ "$y" -lt $((Y + HEIGHT)) ] && return 0
  done
  return 1
}
client "$(window_named "Quick Launch")"
sleep 0.5
xdotool mousemove $((wx + 214)) $((wy + 21)) click 1
sleep 0.8; shot word-drop-down
xdotool mousemove $((wx + 200)) $((wy + 127)) click 1
sleep 0.8; shot my-office-by-mouse
check "Quick Launch, Word, My Office by mouse pops up the My Office menu at the pointer" popup_at_pointer
xdotool key Escape; sleep 0.3
for entry in "open calender:Calender:calendar" "new search:Search:search" "open file:Open/Run File:open" \
            "about:About Kestrova:about"; do
  IFS=: read -r phrase title name <<< "$entry"
  listen_and_type "$phrase"
  check "\"$phrase\" opens $title" shown "$title"
  sleep 0.5; shot "$name"
  close_window "$title"
done

# The alarm, a minute ahead.
listen_and_type "open alarm"
check "\"open alarm\" opens Set Alarm" shown "Set Alarm"
sleep 0.5; shot alarm-narrow
client "$(window_named "Set Alarm")"
xdotool mousemove $((wx + 147)) $((wy + 182)) click 1
sleep 0.5; shot alarm-wide
xdotool mousemove $((wx + 120)) $((wy + 54)) click 1
at=$(date -d '+1 minute' +%H:%M)
xdotool type --delay 30 "$at"
xdotool key Tab
xdotool type --delay 30 "stretch your legs"
xdotool key Return
check "OK closes the alarm window" gone "Set Alarm"
check "the alarm rings at $at" wait_for "$log" 'Speak "stretch your legs"' 75
grep -m1 -F 'Play Announce' "$log" >/dev/null && echo "alarm: $(grep -F 'stretch your legs' "$log" | head -n 1)"
# The end comes while Open/Run's Browse waits for the user: the quit
# unloads Open/Run from inside the chooser's own event loop.
listen_and_type "open file"
w=$(window_named "Open/Run File" 10)
check "\"open file\" opens Open/Run File again" test -n "$w"
xdotool windowactivate --sync "$w" key alt+b 2>/dev/null
check "Browse opens the programs' chooser" shown "Select a file to open"
stop; rc=$?
check "SIGTERM ends the later run with status 0 (was $rc)" test "$rc" -eq 0
finish "$first_log" "$log"
