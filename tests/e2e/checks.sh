# Helpers the end-to-end harnesses share, with no display or program of
# their own: checks counted into the closing "N passed, N failed" line,
# bounded waits on a log, X windows found by their title and their place.
# Sourced by desktop.sh and wayland_desktops.sh.
failures=0
passes=0
check() { # check <description> <command...>
  local what=$1; shift
  if "$@"; then passes=$((passes + 1)); echo "PASS: $what"
  else failures=$((failures + 1)); echo "FAIL: $what"; fi
}

# The quit watchdog ends a program that has not ended 1.75 s after the quit,
# with status 0, and says so in its log: a hang on quit, which must not pass.
not_cut_off() { # not_cut_off <log>: the log holds no such line (shown when it does)
  ! grep -F "still not ended" "$1" 2>/dev/null
}

wait_for() { # wait_for <file> <text> <seconds>
  local i
  for i in $(seq $(( $3 * 10 ))); do grep -qF -- "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}

# Windows found by their title (a regular expression matched whole).
window_named() { # window_named <title> [seconds]: the id of the visible window of that title
  local i w
  for i in $(seq $(( ${2:-10} * 10 ))); do
    w=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.1
  done
  return 1
}
client() { # client <window>: sets wx wy ww wh to the window's inside on the screen
  local info
  [ -n "$1" ] || return 1 # (xwininfo waits for a click without an id)
  info=$(xwininfo -id "$1") || return 1
  wx=$(awk '/Absolute upper-left X/ {print $4}' <<< "$info")
  wy=$(awk '/Absolute upper-left Y/ {print $4}' <<< "$info")
  ww=$(awk '/^ *Width:/ {print $2}' <<< "$info")
  wh=$(awk '/^ *Height:/ {print $2}' <<< "$info")
}
moves_done() { # moves_done (reads "$log"): the character's moves asked for so far have ended (within 10 s): it stands where it goes
  local i
  for i in $(seq 100); do
    [ "$(grep -cE '#[0-9]+ MoveTo -?[0-9]+ -?[0-9]+$' "$log")" -le "$(grep -c 'MoveTo complete' "$log")" ] && return 0
    sleep 0.1
  done
  return 1
}
