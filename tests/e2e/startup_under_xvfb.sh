#!/usr/bin/env bash
# The real program on a virtual X display with an empty home: the first start
# introduces the character and offers the tour, the second greets by the part
# of the day and tells the time, SIGTERM says goodbye and the process exits 0
# after the character has hidden; without a display it refuses clearly.
#   startup_under_xvfb.sh <program> <display number>
set -u
program=$1
display=${2:-71}
scratch=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  # The speech server the program's voice started for this run's runtime
  # folder outlives the program: it and its modules go by process id.
  local server
  for server in $(pgrep -f -- "--socket-path $scratch/runtime/"); do
    kill -9 $(pgrep -P "$server") "$server" 2>/dev/null
  done
  wait 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
failures=0
passes=0
check() { # check <description> <command...>
  local what=$1; shift
  if "$@"; then passes=$((passes + 1)); echo "PASS: $what"
  else failures=$((failures + 1)); echo "FAIL: $what"; fi
}

. "$(dirname "$0")/free_display.sh"
mkdir -p "$scratch/fb" "$scratch/home" "$scratch/runtime"
chmod 700 "$scratch/runtime"
start_xvfb -screen 0 1024x768x24 -fbdir "$scratch/fb"

export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" XDG_DATA_HOME="$scratch/home/.local/share"
export XDG_RUNTIME_DIR="$scratch/runtime" LANG=C.UTF-8 LC_ALL=C.UTF-8
export QT_LOGGING_RULES="kestrova.character.debug=true"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY PULSE_SERVER
# No session bus: not the desktop's this suite may run on, and none that
# libdbus would launch by itself (dbus-launch, where dbus-x11 is installed),
# on which a secret store would ask for a keyring's password and grab the
# pointer and keyboard of this display.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$scratch/no-session-bus"
ini="$XDG_CONFIG_HOME/Kestrova/Kestrova.ini"

wait_for() { # wait_for <file> <text> <seconds>
  local i
  for i in $(seq $(( $3 * 10 ))); do grep -qF -- "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}

# One start: runs until the greeting has been logged, then SIGTERM.
start() { # start <log> <text to wait for>
  DISPLAY=":$display" "$program" > "$1" 2>&1 &
  app_pid=$!
  wait_for "$1" "$2" 30
}

stop() { # stop <log>: SIGTERM, then the exit status
  kill -TERM "$app_pid"
  local i
  for i in $(seq 200); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  wait "$app_pid"
  local rc=$?
  app_pid=""
  return $rc
}

# First start.
check "first start introduces the character" start "$scratch/first.log" "Would you like to tour the programme?"
check "the introduction names the character" grep -q "Hi! my name is " "$scratch/first.log"
check "the run counter is 1" grep -qx "Number=1" "$ini"
check "the character window is mapped" bash -c "DISPLAY=:$display xwininfo -root -tree | grep -q '\"Kestrova'"
stop "$scratch/first.log"; rc=$?
check "SIGTERM ends the first run with status 0 (was $rc)" test "$rc" -eq 0
check "the farewell was spoken" grep -q "Goodbye" "$scratch/first.log"
# The hide completed before the exit: its completion is the last request logged.
check "the hide completed before the exit" bash -c "grep -i 'complete' '$scratch/first.log' | tail -n 1 | grep -qi 'hide'"

# Second start.
check "second start greets by the part of the day" start "$scratch/second.log" "The time is "
check "the greeting names the part of the day" grep -qE "Good (Morning|Afternoon|Evening)" "$scratch/second.log"
check "the run counter is 2" grep -qx "Number=2" "$ini"
stop "$scratch/second.log"; rc=$?
check "SIGTERM ends the second run with status 0 (was $rc)" test "$rc" -eq 0

# No display at all.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" 2>&1); rc=$?
check "without a display the program exits non-zero (was $rc)" test "$rc" -ne 0
check "without a display it says a desktop is needed" bash -c "grep -q 'graphical desktop' <<< \"\$1\"" _ "$out"

if [ $failures -ne 0 ]; then
  echo "--- first run log"; tail -n 40 "$scratch/first.log"
  echo "--- second run log"; tail -n 40 "$scratch/second.log" 2>/dev/null
fi
echo "$passes passed, $failures failed"
[ $failures -eq 0 ]
