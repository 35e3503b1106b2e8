#!/usr/bin/env bash
# The real program on a virtual X display with an empty home: the first start
# introduces the character and offers the tour, the second greets by the part
# of the day and tells the time, SIGTERM says goodbye and the process exits 0
# after the character has hidden; without a display it refuses clearly.
#   startup_under_xvfb.sh <program> <display number>
set -u
program=$1
display=${2:-71}
# No window manager: the program must come up on a bare display.
wm=none
. "$(dirname "$0")/desktop.sh"
mkdir -p "$scratch/home"

export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" XDG_DATA_HOME="$scratch/home/.local/share"
ini="$XDG_CONFIG_HOME/Kestrova/Kestrova.ini"

# One start in the one home of this test: runs until the greeting has been
# logged, then SIGTERM.
start_once() { # start_once <log> <text to wait for>
  DISPLAY=":$display" "$program" > "$1" 2>&1 &
  app_pid=$!
  wait_for "$1" "$2" 30
}

stop_once() { # stop_once <log>: SIGTERM, then the exit status
  kill -TERM "$app_pid"
  local i
  for i in $(seq 200); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  wait "$app_pid"
  local rc=$?
  app_pid=""
  check "the program ends without the quit watchdog cutting it off" not_cut_off "$1"
  return $rc
}

# First start.
check "first start introduces the character" start_once "$scratch/first.log" "Would you like to tour the programme?"
check "the introduction names the character" grep -q "Hi! my name is " "$scratch/first.log"
check "the run counter is 1" grep -qx "Number=1" "$ini"
check "the character window is mapped" bash -c "DISPLAY=:$display xwininfo -root -tree | grep -q '\"Kestrova'"
stop_once "$scratch/first.log"; rc=$?
check "SIGTERM ends the first run with status 0 (was $rc)" test "$rc" -eq 0
check "the farewell was spoken" grep -q "Goodbye" "$scratch/first.log"
# The hide completed before the exit: its completion is the last request logged.
check "the hide completed before the exit" bash -c "grep -i 'complete' '$scratch/first.log' | tail -n 1 | grep -qi 'hide'"

# Second start.
check "second start greets by the part of the day" start_once "$scratch/second.log" "The time is "
check "the greeting names the part of the day" grep -qE "Good (Morning|Afternoon|Evening)" "$scratch/second.log"
check "the run counter is 2" grep -qx "Number=2" "$ini"
stop_once "$scratch/second.log"; rc=$?
check "SIGTERM ends the second run with status 0 (was $rc)" test "$rc" -eq 0

# No display at all.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" 2>&1); rc=$?
check "without a display the program exits non-zero (was $rc)" test "$rc" -ne 0
check "without a display it says a desktop is needed" bash -c "grep -q 'graphical desktop' <<< \"\$1\"" _ "$out"

finish "$scratch/first.log" "$scratch/second.log"
