#!/usr/bin/env bash
# Windows stay reachable under a real window manager (openbox): the
# commands window, opened from the character's popup menu, does not sit
# above the windows opened after it; About opens in front of it, and the
# box of "System Info..." opens in front of About with an OK button that
# Enter presses.
#   stacking_under_xvfb.sh <program> <display number>
# With KESTROVA_SHOTS=<folder> it saves screenshots there.
set -u
program=$1
display=${2:-97}
shots=${KESTROVA_SHOTS:-}
. "$(dirname "$0")/desktop.sh"

stacking() { # the client windows, bottom first, as the window manager stacks them
  xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/, / /g' | tr ' ' '\n' | while read -r w; do
    [ -n "$w" ] && printf '%d\n' "$w"
  done
}
above() { # above <window a> <window b>: a is stacked above b
  local order a b
  order=$(stacking)
  a=$(grep -nx "$(printf '%d' "$1")" <<< "$order" | cut -d: -f1)
  b=$(grep -nx "$(printf '%d' "$2")" <<< "$order" | cut -d: -f1)
  [ -n "$a" ] && [ -n "$b" ] && [ "$a" -gt "$b" ] && return 0
  echo "NOTE: stacking (bottom first):"
  for w in $order; do echo "  $w $(xdotool getwindowname "$w" 2>/dev/null)"; done
  return 1
}
new_window() { # new_window <title> <ids to leave out...>: a visible window of that title not among them
  local title=$1 i w; shift
  for i in $(seq 100); do
    for w in $(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null); do
      [[ " $* " == *" $w "* ]] || { echo "$w"; return 0; }
    done
    sleep 0.1
  done
  return 1
}

# A home that has run before: no tour; the tip of the day, then Quick
# Launch (which stays: closing it would end the program).
check "the character is shown" start stacking '[Run]\nNumber=5\n[Rest]\nX=40\nY=40\n'
shown "Tip of the Day" && close_window "Tip of the Day"
check "Quick Launch is shown" shown "Quick Launch"
before=$(xdotool search --onlyvisible --name '^Kestrova$' 2>/dev/null | tr '\n' ' ')

# The popup menu's "Open Commands Window" is its last but one entry.
opened=""
for try in 1 2 3; do
  xdotool mousemove "$cx" "$cy" click 3
  sleep 0.8
  xdotool key Up Up Return
  commands=$(new_window "Kestrova Commands") && { opened=yes; break; }
done
check "the popup menu opens the commands window" test -n "$opened"
sleep 0.5; shot commands

listen_and_type "about"
about=$(window_named "About Kestrova")
check "\"about\" opens About" test -n "$about"
sleep 0.5
check "About opens in front of the commands window" above "$about" "$commands"

xdotool windowactivate --sync "$about" 2>/dev/null
xdotool key alt+s
box=$(new_window Kestrova $before $commands)
check "System Info... opens a box (no system information tool here)" test -n "$box"
sleep 0.5; shot sysinfo
check "the box is in front of About" above "$box" "$about"
check "and in front of the commands window" above "$box" "$commands"
client "$box"
check "the box is big enough for its text and an OK button (${ww}x${wh})" test "$ww" -ge 150 -a "$wh" -ge 60
xdotool windowactivate --sync "$box" 2>/dev/null
xdotool key Return
check "Enter presses its OK button" bash -c "for i in \$(seq 50); do xdotool search --onlyvisible --name '^Kestrova\$' | grep -qx $box || exit 0; sleep 0.1; done; exit 1"
check "About is still there and answers" shown "About Kestrova"
close_window "About Kestrova"

stop; rc=$?
check "the program ends with status 0 (was $rc)" test "$rc" -eq 0
finish "$log"
