#!/usr/bin/env bash
# The character on another window manager than openbox (xfwm4 or metacity,
# each with its compositor on, or i3, which tiles): shown at its rest
# position; above a window the user clicks, the clicked window keeping the
# focus, and still after
# the program's own windows took the focus; the right-click menu; a
# command typed into the listening prompt, which has the focus; a drag;
# never a task (no taskbar or pager entry, no attention flag) for the
# character, its balloon and the prompt, while Quick Launch stays an
# ordinary window.
#   desktops_under_xvfb.sh <program> <display number> <xfwm4|metacity|i3>
# With KESTROVA_SHOTS=<folder> it saves screenshots there.
set -u
program=$1
display=${2:-61}
export KESTROVA_WM=${3:-xfwm4}
shots=${KESTROVA_SHOTS:+$KESTROVA_SHOTS/$KESTROVA_WM}
. "$(dirname "$0")/desktop.sh"

for tool in xterm "$KESTROVA_WM"; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/deps.sh test installs it)"; exit 1; }
done

states() { xprop -id "$1" _NET_WM_STATE 2>/dev/null; }
not_a_task() { # not_a_task <window>: no taskbar or pager entry, no attention flag
  local s; s=$(states "$1")
  [[ $s == *_NET_WM_STATE_SKIP_TASKBAR* && $s == *_NET_WM_STATE_SKIP_PAGER* && $s != *DEMANDS_ATTENTION* ]] && return 0
  echo "NOTE: window $1: $s"; return 1
}
a_task() { # a_task <window>: an ordinary window, in the taskbar
  local s; s=$(states "$1")
  [[ $s != *_NET_WM_STATE_SKIP_TASKBAR* ]] && return 0
  echo "NOTE: window $1: $s"; return 1
}
character_window() { # the program's visible window of the character's size at its place
  local w
  for w in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
    client "$w" || continue
    [ "$wx $wy $ww $wh" = "$1 $2 $3 $4" ] && { echo "$w"; return 0; }
  done
  return 1
}
pixel() { /usr/bin/convert "xwd:$scratch/fb/Xvfb_screen0" -format "%[pixel:p{$1,$2}]" info: 2>/dev/null; }
# The screen is the composited picture: the middle of the character shows
# the character, not the window over it.
character_in_front() {
  local p; p=$(pixel "$cx" "$cy")
  [ -n "$p" ] && [ "$p" != "srgb(255,243,176)" ] && return 0
  echo "NOTE: pixel $cx,$cy is $p; stacking (bottom first): $(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //'), character $(printf 0x%x "$character")"
  return 1
}
active() { printf '%d' "$(xprop -root _NET_ACTIVE_WINDOW | grep -oE '0x[0-9a-f]+' | head -n 1)"; }
open_xterm() { # open_xterm <title>: a pale yellow xterm over the character; sets xt
  xterm -geometry 40x12+$((cx - 120))+$((cy - 80)) -bg '#fff3b0' -T "$1" >/dev/null 2>&1 &
  xterm_pid=$!
  xt=$(window_named "$1") || return 1
  sleep 1
}
click_xterm() { # clicks the xterm beside the character, away from it
  client "$xt"
  xdotool mousemove $((wx + 15)) $((wy + wh - 15)) click 1
  sleep 1
}

check "the character is shown" start desktops '[Run]\nNumber=5\n[Rest]\nX=500\nY=300\n'
at=$(grep -m1 -oE 'Shown at -?[0-9]+ -?[0-9]+ size [0-9]+ [0-9]+' "$log")
set -- $at
check "the log says it is shown at its rest position 500 300 ($at)" test "$3 $4" = "500 300"
character=$(character_window "$3" "$4" "$6" "$7")
check "its window stands there, $6x$7" test -n "$character"
check "the character is never a task" not_a_task "$character"
balloon_window() { # the other visible window of the character's name: its balloon (the greeting is in it)
  local i w name; name=$(xdotool getwindowname "$character")
  for i in $(seq 50); do
    for w in $(xdotool search --all --onlyvisible --pid "$app_pid" --name "^$name\$" 2>/dev/null); do
      [ "$w" != "$character" ] && { echo "$w"; return 0; }
    done
    sleep 0.1
  done
  return 1
}
balloon=$(balloon_window)
check "its balloon is shown" test -n "$balloon"
check "its balloon is never a task" not_a_task "$balloon"
shown "Tip of the Day" && close_window "Tip of the Day"
ql=$(window_named "Quick Launch")
check "Quick Launch is shown" test -n "$ql"
check "Quick Launch is an ordinary window, in the taskbar" a_task "$ql"
sleep 0.5; shot shown

# The windows the program showed (Quick Launch has the focus) must not
# have let the character fall behind a window opened now and clicked.
open_xterm OVER
check "an xterm opened over the character stays below it" character_in_front
click_xterm; shot xterm-clicked
check "the clicked xterm has the focus" test "$(active)" = "$xt"
check "the character is above the clicked xterm" character_in_front

# The right-click menu, at the pointer.
before=$(grep -c "Command menu at" "$log")
xdotool mousemove "$cx" "$cy" click 3
check "a right click opens the popup menu" bash -c "for i in \$(seq 50); do [ \$(grep -c 'Command menu at' '$log') -gt $before ] && exit 0; sleep 0.1; done; exit 1"
sleep 0.5; shot menu
xdotool key Escape; sleep 0.5

# A typed command: About opens with the focus; the character stays above
# the xterm once About is closed and the xterm is clicked again.
check "a double click opens the listening prompt" start_listening
prompt_window() { # the prompt, titled with the character's name: the active window of that name, not the character
  local i w name; name=$(xdotool getwindowname "$character")
  for i in $(seq 50); do
    w=$(active)
    [ "$w" != "$character" ] && [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$name" ] && { echo "$w"; return 0; }
    sleep 0.1
  done
  echo "NOTE: the active window is $(active) [$(xdotool getwindowname "$(active)" 2>/dev/null)]" >&2
  return 1
}
prompt=$(prompt_window)
check "the prompt is shown with the focus" test -n "$prompt"
check "the prompt is never a task" not_a_task "$prompt"
shot prompt
xdotool type --delay 40 "about"; xdotool key Return
about=$(window_named "About Kestrova")
check "the typed \"about\" opens About" test -n "$about"
sleep 0.5; shot about
check "About has the focus" test "$(active)" = "$about"
close_window "About Kestrova"
click_xterm
check "after About, the character is still above the clicked xterm" character_in_front
check "and still never a task" not_a_task "$character"
kill "$xterm_pid" 2>/dev/null; sleep 0.5

# A drag with the left button.
client "$character"; bx=$wx; by=$wy
xdotool mousemove "$cx" "$cy" mousedown 1
for k in $(seq 20); do xdotool mousemove $((cx - 10 * k)) $((cy + 3 * k)); sleep 0.03; done
sleep 0.2; xdotool mouseup 1; sleep 0.8
client "$character"
check "a drag moves the character by -200 +60 ($bx,$by -> $wx,$wy)" \
  test $((wx - bx + 200)) -ge -10 -a $((wx - bx + 200)) -le 10 -a $((wy - by - 60)) -ge -10 -a $((wy - by - 60)) -le 10
shot dragged
cx=$((wx + $6 / 2)); cy=$((wy + $7 / 2))

# "Move to mouse" where the window manager tiles: the phrase typed, the
# pointer put over a tiled window (which has the focus and fills the
# screen), then over the bare desktop, then Enter; the character stands
# beside the pointer.
move_to_mouse() { # move_to_mouse <x> <y>
  start_listening || return 1
  xdotool type --delay 40 "move to mouse"; xdotool mousemove "$1" "$2"; sleep 0.3; xdotool key Return
  wait_for "$log" "MoveTo $(( $1 - 70 )) $2" 10 || { echo "NOTE: $(grep MoveTo "$log" | tail -n 2)"; return 1; }
  local i
  for i in $(seq 50); do
    client "$character"
    [ $((wx - $1 + 70)) -ge -10 ] && [ $((wx - $1 + 70)) -le 10 ] && [ $((wy - $2)) -ge -10 ] && [ $((wy - $2)) -le 10 ] \
      && return 0
    sleep 0.1
  done
  echo "NOTE: the character's window is at $wx,$wy"; return 1
}
if [ "$KESTROVA_WM" = i3 ]; then
  open_xterm TILED
  check "the tiled xterm has the focus" test "$(active)" = "$xt"
  check "\"move to mouse\" with the pointer over the tiled xterm: the character goes beside it" move_to_mouse 700 200
  shot move-over-xterm
  client "$character"; cx=$((wx + $6 / 2)); cy=$((wy + $7 / 2))
  kill "$xterm_pid" 2>/dev/null; sleep 0.5
  check "\"move to mouse\" with the pointer over the bare desktop: the character goes beside it" move_to_mouse 300 500
  shot move-over-desktop
fi

stop; rc=$?
check "the program ends on SIGTERM with status 0 (was $rc)" test "$rc" -eq 0
finish "$log" "$scratch/wm.log"
