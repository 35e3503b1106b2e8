#!/usr/bin/env bash
# The quit after each of the program's windows has been opened once and
# closed again, one run a window; then SIGTERM while a dialog or a menu
# waits for the user; then the character's voices: Character Options, a
# flite voice chosen, Test and Enter, with Kess and with Rivet, each followed
# by the quit. A PulseAudio server of this run's own with a
# null sink plays the voices. Every run must end with status 0, and without
# the quit watchdog cutting it off (desktop.sh checks both at each end).
#   quit_under_xvfb.sh <program> <display number>
set -u
program=$1
display=${2:-99}
shots=${KESTROVA_SHOTS:-}
. "$(dirname "$0")/desktop.sh"

start_pulse

ini='[Run]\nNumber=5\n[Rest]\nX=400\nY=300\n'

# The character's menu: its last entry is Character Options..., the one
# before it Open Commands Window.
menu() { # menu <keys...>
  xdotool mousemove "$cx" "$cy" click 3
  sleep 0.8
  xdotool key "$@"
}
# The options window is titled "Kestrova" like the menus, but large.
options_window() {
  local w i
  for i in $(seq 50); do
    for w in $(xdotool search --onlyvisible --name '^Kestrova$' 2>/dev/null); do
      client "$w" && [ "$ww" -gt 300 ] && [ "$wh" -gt 300 ] && { echo "$w"; return 0; }
    done
    sleep 0.1
  done
  return 1
}
opened() { # opened <title>: the window's id
  case $1 in
  Kestrova) options_window ;;
  # Titled "Kestrova" as well, and small: known by the log, then by focus.
  log:*) wait_for "$log" "${1#log:}" 10 && sleep 0.5 && xdotool getactivewindow ;;
  *) window_named "$1" 10 ;;
  esac
}
quit_by_command() { # the quit as the user says it; the farewell, then the end
  listen_and_type quit
  wait_for "$log" 'Speak "Goodbye' 10
  ended
}
# The tip of the day comes after the greeting; it is closed first, unless
# it is the window of the run.
settle() { # settle <title of the window of the run>
  wait_for "$log" "Speak complete" 20
  [ "$1" = "Tip of the Day" ] && return 0
  shown "Tip of the Day" && close_window "Tip of the Day"
  sleep 0.5
}

# name | how it is opened (type: a typed command, +keys pressed in the menu
# it opens; menu: keys in the character's menu) | its title
while IFS='|' read -r name how title; do
  [ -n "$name" ] || continue
  check "$name: the character is shown" start "$name" "$ini" || continue
  settle "$title"
  case $how in
  type:*+*) listen_and_type "$(cut -d+ -f1 <<< "${how#type:}")"; sleep 0.8; xdotool key "${how#*+}" ;;
  type:*) listen_and_type "${how#type:}" ;;
  menu:*) menu ${how#menu:} ;;
  none) ;;
  esac
  w=$(opened "$title")
  check "$name: \"$title\" opens" test -n "$w"
  if [ -n "$w" ]; then
    sleep 1
    shot "window-$name"
    # Escape, or the window manager's close where Escape does not close it.
    xdotool windowactivate --sync "$w" key Escape 2>/dev/null
    sleep 0.5
    wmctrl -i -c "$w" 2>/dev/null
    sleep 0.5
  fi
  # Closing Quick Launch is a quit of its own.
  if [ "$title" = "Quick Launch" ]; then ended; else quit_by_command; fi
done <<'EOF'
options|type:options|Kestrova
character-options|menu:Up Return|Character Options
commands|menu:Up Up Return|log:Commands window shown
chooser|type:change agent|Choose a Character
about|type:about|About Kestrova
alarm|type:set alarm|Set Alarm
calendar|type:open calender|Calender
user|type:change user|User
tip|none|Tip of the Day
tour|type:general+t|Tour
quick-launch|none|Quick Launch
EOF

# The end while a dialog or a menu waits for the user: SIGTERM, which comes
# in the dialog's own event loop. The chooser comes
# from a typed command, so the listening prompt goes meanwhile too; Save on
# the options' Mail tab shows a box that belongs to the options window.
boxes() { # boxes: how many windows titled "Kestrova" are shown
  xdotool search --onlyvisible --name '^Kestrova$' 2>/dev/null | wc -l
}
while IFS='|' read -r name how; do
  check "$name: the character is shown" start "$name" "$ini" || continue
  settle none
  case $how in
  chooser)
    listen_and_type "change agent"
    check "$name: the chooser waits" shown "Choose a Character" ;;
  mail-save)
    listen_and_type options
    w=$(opened Kestrova)
    xdotool windowactivate --sync "$w" key alt+m
    sleep 0.5
    xdotool key alt+v
    for _ in $(seq 50); do [ "$(boxes)" -ge 2 ] && break; sleep 0.1; done
    check "$name: Save's box waits beside the options" test "$(boxes)" -ge 2 ;;
  character-options)
    # Its list of the system's voices is still being made when the end
    # comes (a speech server takes seconds to start): the end does not wait
    # for it.
    menu Up Return
    check "$name: Character Options waits" test -n "$(opened "Character Options")" ;;
  toolbar-menu)
    # Down on Quick Launch's first button opens its menu, which waits in a
    # loop of its own; the quit closes it before the windows go.
    w=$(window_named "Quick Launch" 10)
    before=$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | wc -l)
    xdotool windowactivate --sync "$w" key Down 2>/dev/null
    for _ in $(seq 30); do
      [ "$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | wc -l)" -gt "$before" ] && break
      sleep 0.1
    done
    check "$name: the toolbar's menu waits" \
      test "$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | wc -l)" -gt "$before" ;;
  esac
  sleep 0.5
  shot "dialog-$name"
  stop
done <<'EOF'
sigterm-chooser|chooser
sigterm-mail-save|mail-save
sigterm-toolbar-menu|toolbar-menu
sigterm-character-options|character-options
EOF

# The voices. Character Options from the menu, the voice list made; Test
# with the character's own voice and with the list's last; a flite voice
# chosen, Test, Enter; the quit with the new voice.
voices() { # voices <name> <character>
  local home="$scratch/home-$1" w
  character_settings="Default=$2\n"
  check "$1: the character is shown" start "$1" "$ini" || return 1
  character_settings=""
  settle none
  menu Up Return
  w=$(opened "Character Options")
  check "$1: Character Options opens" test -n "$w" || { stop; return 1; }
  # The voices of the system's engines are listed meanwhile.
  sleep 3
  xdotool windowactivate --sync "$w" key alt+t
  sleep 4
  # The list's last voice: one of the desktop's speech service where it
  # lists any.
  xdotool windowactivate --sync "$w" key alt+v End alt+t
  sleep 4
  xdotool windowactivate --sync "$w" key alt+v Home Down
  sleep 0.5
  shot "voice-$1"
  xdotool windowactivate --sync "$w" key alt+t
  sleep 4
  # Back in the list, Enter is OK: the voice is applied.
  xdotool windowactivate --sync "$w" key alt+v Return
  check "$1: Enter closes the options with the voice chosen" gone "Character Options"
  check "$1: the voice is stored" wait_for "$home/.config/Kestrova/CharacterService.ini" "Voice=flite:" 5
  sleep 1
  quit_by_command
}
voices kess kess
voices rivet rivet

finish "$scratch"/*.log
