#!/usr/bin/env bash
# A screenshot of every window of the real program on a 1024x768 virtual
# display with openbox, at the scale given (QT_SCALE_FACTOR), to look at:
#   every_window_shots.sh <program> <display number> <1|2>
# KESTROVA_SHOTS=<folder> gets one PNG per window, named <window>-<scale>.
# It checks only that each window opens; whether it looks right is for the
# one who looks at the pictures.
set -u
program=$1
display=${2:-130}
scale=${3:-1}
shots=${KESTROVA_SHOTS:-}
screen_size=1024x768
. "$(dirname "$0")/desktop.sh"
export QT_SCALE_FACTOR=$scale

# The character's menu, opened at the character; then the keys given.
from_menu() { # from_menu <keys...>
  moves_done
  xdotool mousemove "$cx" "$cy" click 3
  sleep 0.8
  xdotool key "$@"
}
look() { # look <title> <name>: waits for the window, shoots it, closes it
  check "$2 at scale $scale" shown "$1" || return 0
  sleep 0.8; shot "$2-$scale"
  close_window "$1"
  sleep 0.3
}

check "the character is shown" start shots '[Run]\nNumber=5\n'
# The log gives the place in Qt's units; the pointer moves in pixels.
cx=$((cx * scale)) cy=$((cy * scale))
sleep 1.5; shot "balloon-$scale"
check "the tip window" shown "Tip of the Day"
sleep 0.5; shot "tip-$scale"
close_window "Tip of the Day"
check "Quick Launch" shown "Quick Launch"
sleep 0.5; shot "quicklaunch-$scale"

xdotool mousemove "$cx" "$cy" click --repeat 2 --delay 80 1
sleep 1; shot "listening-$scale"
xdotool key Escape; sleep 0.5

listen_and_type "options"
if check "the options window" shown "Kestrova"; then
  sleep 0.8; shot "options-$scale"
  # Each tab by its mnemonic.
  for tab in mail:m accessories:c office:o favourites:f jokes:j; do
    xdotool key "alt+${tab#*:}"; sleep 0.6; shot "options-${tab%:*}-$scale"
  done
  close_window "Kestrova"
fi
for entry in "open calender:Calender:calendar" "new search:Search:search" "open file:Open/Run File:open" \
            "about:About Kestrova:about" "open alarm:Set Alarm:alarm" "change user:User:user"; do
  IFS=: read -r phrase title name <<< "$entry"
  listen_and_type "$phrase"
  look "$title" "$name"
done
listen_and_type "open alarm"
if check "the alarm window again" shown "Set Alarm"; then
  sleep 0.5; xdotool key alt+o; sleep 0.6; shot "alarm-options-$scale"
  close_window "Set Alarm"
fi
from_menu Up Up Return
look "Kestrova Commands" commands
from_menu Up Return
if check "character options" shown "Character Options"; then
  sleep 0.8; shot "character-options-$scale"
  for tab in balloon:b listening:l sounds:u session:e; do
    xdotool key "alt+${tab#*:}"; sleep 0.6; shot "character-options-${tab%:*}-$scale"
  done
  close_window "Character Options"
fi
stop >/dev/null
finish "$log"
