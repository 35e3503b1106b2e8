#!/usr/bin/env bash
# Clicks on the transparent pixels around the character reach the window
# below it; clicks on the character do not. First with a compositing manager
# (xcompmgr: the window is translucent and has an input shape), then without
# one (the window is cut to the character's shape). The window below is
# xev's, which logs every button press it gets.
#   clickthrough_under_xvfb.sh <program> <display number>
# With KESTROVA_SHOTS=<folder> it saves screenshots there.
set -u
program=$1
display=${2:-93}
shots=${KESTROVA_SHOTS:-}
. "$(dirname "$0")/desktop.sh"

comp_pid=""
xev_pid=""
trap 'kill $comp_pid $xev_pid 2>/dev/null; cleanup' EXIT

# The character rests at (200, 150); xev's window lies under all of it.
rest='[Run]\nNumber=5\n[Rest]\nX=200\nY=150\n'
below() { # below: a fresh xev window at (150, 100), 300x300, logging presses
  [ -n "$xev_pid" ] && kill "$xev_pid" 2>/dev/null
  xev -geometry 300x300+150+100 -name below -event button > "$scratch/xev.log" 2>&1 &
  xev_pid=$!
  window_named below 10 >/dev/null
}
presses_at() { # presses_at <x> <y>: how many presses xev got at that screen point
  grep -A1 "^ButtonPress" "$scratch/xev.log" | grep -c "root:($1,$2)"
}
# The character's window: its place and size on the screen, in pixels,
# looked for over 5 s (a search that meets a window as it closes, or a window
# not yet mapped on a loaded machine, finds nothing the first time). Leaves
# wx empty when there is none.
character_window() {
  local w i
  for i in $(seq 50); do
    for w in $(xdotool search --onlyvisible --name '^Kess$' 2>/dev/null); do
      client "$w" && [ "$ww" -ge 100 ] && [ "$ww" -le 300 ] && return 0
    done
    sleep 0.1
  done
  wx=""
  return 1
}
clicks() { # clicks <label>: the corner goes through, the body does not
  local label=$1 i
  check "$label: the character window is found" character_window
  [ -n "$wx" ] || { windows_now; return; }
  echo "  character window at $wx $wy, ${ww}x$wh"
  # The bottom left corner: the speech balloon sits above the character
  # and may cover its top corners while a long sentence is shown.
  local corner_x=$((wx + 3)) corner_y=$((wy + wh - 4))
  local body_x=$((wx + ww / 2)) body_y=$((wy + wh / 2))
  shot "clickthrough-$label"
  xdotool mousemove "$corner_x" "$corner_y" click 1
  for i in $(seq 30); do [ "$(presses_at "$corner_x" "$corner_y")" -gt 0 ] && break; sleep 0.1; done
  check "$label: a click on the transparent corner reaches the window below" \
    test "$(presses_at "$corner_x" "$corner_y")" -eq 1
  # A right click on the character opens its command menu.
  xdotool mousemove "$body_x" "$body_y" click 3
  wait_for "$log" "Command menu at" 5
  check "$label: a click on the character stays with it" test "$(presses_at "$body_x" "$body_y")" -eq 0
  check "$label: the character heard it (its menu opened)" grep -q "Command menu at" "$log"
  shot "clickthrough-$label-menu"
  xdotool key Escape
  sleep 0.3
}

# With a compositing manager.
xcompmgr >"$scratch/xcompmgr.log" 2>&1 &
comp_pid=$!
sleep 1
check "xcompmgr runs" running "$comp_pid"
below
check "composited: the character is shown" start composited "$rest"
close_window "Tip of the Day" 2>/dev/null
sleep 1
clicks composited
stop >/dev/null

# Without one.
kill "$comp_pid"; wait "$comp_pid" 2>/dev/null; comp_pid=""
below
check "shaped: the character is shown" start shaped "$rest"
close_window "Tip of the Day" 2>/dev/null
sleep 1
clicks shaped
stop >/dev/null
finish "$scratch/composited.log" "$scratch/shaped.log" "$scratch/xev.log"
