# The harness the end-to-end tests share: a virtual X display with a window
# manager, the real program started in a home of its own, bounded waits on
# its log, and checks counted into the closing "N passed, N failed" line.
# Sourced by a test script after it sets: program, display, and optionally
# shots (a folder for screenshots) and screen_size (WIDTHxHEIGHT, 1024x768
# unless set).
scratch=$(mktemp -d)
xvfb_pid=""
wm_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  # The program's voice starts a speech server for this run's runtime folder,
  # which outlives the program (and may not answer SIGTERM): it and its
  # modules go by their process ids.
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

mkdir -p "$scratch/fb" "$scratch/runtime"
chmod 700 "$scratch/runtime"
Xvfb ":$display" -screen 0 "${screen_size:-1024x768}x24" -fbdir "$scratch/fb" -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do DISPLAY=":$display" xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
export DISPLAY=":$display"
HOME="$scratch" openbox >/dev/null 2>&1 &
wm_pid=$!
# openbox owns the window manager selection once it manages the screen.
for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
# A plain colour, so the character's shape shows in screenshots.
xsetroot -solid '#5a7fa8'

export XDG_RUNTIME_DIR="$scratch/runtime" LANG=C.UTF-8 LC_ALL=C.UTF-8
export QT_LOGGING_RULES="kestrova.character.debug=true"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

wait_for() { # wait_for <file> <text> <seconds>
  local i
  for i in $(seq $(( $3 * 10 ))); do grep -qF -- "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}

shot() { # shot <name>: the screen as it is now
  [ -n "$shots" ] || return 0
  mkdir -p "$shots"
  /usr/bin/convert "xwd:$scratch/fb/Xvfb_screen0" "$shots/$1.png"
}

# One start with an empty home that has run before (no first-run tour),
# until the character has been shown; sets cx cy to its middle.
log=""
start() { # start <name> [settings]: settings is the Kestrova.ini to begin with
  local home="$scratch/home-$1"
  rm -rf "$home"; mkdir -p "$home/.config/Kestrova"
  printf '%b' "${2:-[Run]\nNumber=5\n}" > "$home/.config/Kestrova/Kestrova.ini"
  log="$scratch/$1.log"
  HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" "$program" > "$log" 2>&1 &
  app_pid=$!
  wait_for "$log" "Show complete" 20 || return 1
  local at
  at=$(grep -m1 -oE 'Shown at -?[0-9]+ -?[0-9]+ size [0-9]+ [0-9]+' "$log") || return 1
  set -- $at
  cx=$(( $3 + $6 / 2 )); cy=$(( $4 + $7 / 2 ))
}

running() { # running <pid>: alive and not just waiting to be reaped
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
  [[ $state != Z* ]]
}

ended() { # ended: the program ends by itself within 15 s; its exit status
  local i
  for i in $(seq 150); do running "$app_pid" || break; sleep 0.1; done
  if running "$app_pid"; then kill -9 "$app_pid"; wait "$app_pid"; app_pid=""; return 99; fi
  wait "$app_pid"
  local rc=$?
  app_pid=""
  return $rc
}

stop() { # stop: SIGTERM; its exit status
  kill -TERM "$app_pid"
  ended
}

# Opens the listening prompt with a double click on the character, types the
# phrase and presses Enter.
listen_and_type() { # listen_and_type <phrase>: double click, type, Enter
  local before i
  before=$(grep -c "Listening" "$log")
  xdotool mousemove "$cx" "$cy" click --repeat 2 --delay 80 1
  for i in $(seq 50); do [ "$(grep -c "Listening" "$log")" -gt "$before" ] && break; sleep 0.1; done
  sleep 0.3
  xdotool type --delay 40 "$1"
  xdotool key Return
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
shown() { window_named "$1" >/dev/null; }
gone() { # gone <title>: no visible window of that title within 5 s
  local i
  for i in $(seq 50); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}
close_window() { # close_window <title>: as the window's close box does
  local w try
  # A key sent while the window is still being mapped can miss it: try again.
  for try in 1 2 3; do
    w=$(window_named "$1") || return 1
    xdotool windowactivate --sync "$w" key alt+F4 2>/dev/null
    gone "$1" && return 0
  done
  return 1
}
client() { # client <window>: sets wx wy ww wh to the window's inside on the screen
  local info
  info=$(xwininfo -id "$1") || return 1
  wx=$(awk '/Absolute upper-left X/ {print $4}' <<< "$info")
  wy=$(awk '/Absolute upper-left Y/ {print $4}' <<< "$info")
  ww=$(awk '/^ *Width:/ {print $2}' <<< "$info")
  wh=$(awk '/^ *Height:/ {print $2}' <<< "$info")
}

# The closing line; the logs of failed runs first. Returns the verdict.
finish() { # finish <log>...
  if [ $failures -ne 0 ]; then
    local l
    for l in "$@"; do echo "--- $l"; tail -n 30 "$l" 2>/dev/null; done
  fi
  echo "$passes passed, $failures failed"
  [ $failures -eq 0 ]
}
