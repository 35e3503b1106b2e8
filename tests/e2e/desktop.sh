# The harness the end-to-end tests share: a virtual X display with a window
# manager, the real program started in a home of its own, bounded waits on
# its log, and checks counted into the closing "N passed, N failed" line.
# Sourced by a test script after it sets: program, display, and optionally
# shots (a folder for screenshots) and screen_size (WIDTHxHEIGHT, 1024x768
# unless set).
# KESTROVA_WM picks the window manager: openbox (the default), xfwm4 (with
# its compositor), metacity (with its compositor) or i3 (tiling). xfwm4 and
# metacity read their settings through a session bus: they get one of their
# own, which the program never sees. Under i3 the program finds i3's socket
# in I3SOCK, as a program i3 starts does. A script that runs the program
# with no window manager at all sets wm=none before sourcing this.
# Sound: start_pulse gives the run a PulseAudio server of its own, and
# stop_pulse (or the cleanup) ends it.
scratch=$(mktemp -d)
xvfb_pid=""
wm_pid=""
wm_bus_pid=""
app_pid=""
pulse_pid=""
wm=${wm:-${KESTROVA_WM:-openbox}}
case "$wm" in
  openbox|xfwm4|metacity|i3|none) ;;
  *) echo "desktop.sh: unknown window manager '$wm' (openbox, xfwm4, metacity or i3)" >&2; exit 2 ;;
esac
cleanup() {
  [ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null
  stop_pulse
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$wm_bus_pid" ] && kill "$wm_bus_pid" 2>/dev/null
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
. "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

running() { # running <pid>: alive and not just waiting to be reaped
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
  [[ $state != Z* ]]
}

. "$(dirname "${BASH_SOURCE[0]}")/free_display.sh"
mkdir -p "$scratch/fb" "$scratch/runtime"
chmod 700 "$scratch/runtime"
start_xvfb -screen 0 "${screen_size:-1024x768}x24" -fbdir "$scratch/fb"
export DISPLAY=":$display"
compositing() { # a compositing manager holds this screen's _NET_WM_CM_S0 selection
  python3 -c 'import ctypes, sys
x = ctypes.CDLL("libX11.so.6"); x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.restype = ctypes.c_ulong; x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XGetSelectionOwner.restype = ctypes.c_ulong; x.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
d = x.XOpenDisplay(None)
sys.exit(0 if d and x.XGetSelectionOwner(d, x.XInternAtom(d, b"_NET_WM_CM_S0", 0)) else 1)' 2>/dev/null
}
wm_ready() { # the window manager runs and says it can activate windows (and composites, where it should)
  [ "$wm" = none ] && return 0
  [ -n "$wm_pid" ] && running "$wm_pid" && xprop -root _NET_SUPPORTED 2>/dev/null | grep -q _NET_ACTIVE_WINDOW \
    && { [ "$wm" = openbox ] || [ "$wm" = i3 ] || compositing; }
}
run_wm() { # the chosen window manager, in the foreground
  case "$wm" in
    openbox) HOME="$scratch" openbox ;;
    xfwm4) HOME="$scratch/wm-home" XDG_CONFIG_HOME="$scratch/wm-home/.config" \
             DBUS_SESSION_BUS_ADDRESS="unix:path=$scratch/wm-bus" xfwm4 --compositor=on --sm-client-disable ;;
    metacity) HOME="$scratch/wm-home" XDG_CONFIG_HOME="$scratch/wm-home/.config" \
                DBUS_SESSION_BUS_ADDRESS="unix:path=$scratch/wm-bus" metacity --sm-disable --composite ;;
    i3) HOME="$scratch/wm-home" i3 -c "$scratch/wm-home/i3.config" ;;
  esac
}
if [ "$wm" = i3 ]; then
  # The bare tiling window manager: no bar, no first-start wizard (a file
  # without its version line would be read as an old one and given a bar).
  mkdir -p "$scratch/wm-home"
  printf '# i3 config file (v4)\nfont pango:DejaVu Sans 9\nfocus_follows_mouse no\nipc-socket %s\n' "$scratch/i3-ipc" \
    > "$scratch/wm-home/i3.config"
elif [ "$wm" != openbox ] && [ "$wm" != none ]; then
  mkdir -p "$scratch/wm-home"
  dbus-daemon --session --address="unix:path=$scratch/wm-bus" --nofork --nopidfile >>"$scratch/wm.log" 2>&1 &
  wm_bus_pid=$!
  for i in $(seq 50); do [ -S "$scratch/wm-bus" ] && break; sleep 0.1; done
fi
start_wm() { # start_wm: the window manager for this display, waited for up to 20 s
  # On a loaded machine openbox has been seen to find the display closed
  # just after Xvfb said it listened, and to end at once: it is started
  # again, once a second, while the 20 s last.
  local i
  [ "$wm" = none ] && return 0
  for i in $(seq 200); do
    if (( i % 10 == 1 )) && ! { [ -n "$wm_pid" ] && running "$wm_pid"; }; then
      run_wm >>"$scratch/wm.log" 2>&1 &
      wm_pid=$!
    fi
    wm_ready && return 0
    sleep 0.1
  done
  echo "NOTE: the window manager ($wm) did not come up within 20 s:"; cat "$scratch/wm.log"
  return 1
}
start_wm
if [ "$wm" = i3 ]; then export I3SOCK="$scratch/i3-ipc"; fi
# A plain colour, so the character's shape shows in screenshots.
xsetroot -solid '#5a7fa8'

export XDG_RUNTIME_DIR="$scratch/runtime" LANG=C.UTF-8 LC_ALL=C.UTF-8
export QT_LOGGING_RULES="kestrova.character.debug=true"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY PULSE_SERVER
# No session bus: not the desktop's this suite may run on, and none that
# libdbus would launch by itself (dbus-launch, where dbus-x11 is installed),
# on which a secret store would ask for a keyring's password and grab the
# pointer and keyboard of this display.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$scratch/no-session-bus"

# A PulseAudio server of this run's own, one at a time, in a home of its own:
# the null sink <sink> ("speakers" unless named) is its default output. With
# "microphone" it has a second null sink, "microphone", whose monitor
# (remapped as "mic") is the default source: what a test plays into that
# sink is what the character hears. Waits up to 5 s for the server to answer.
start_pulse() { # start_pulse [microphone|-] [sink]
  local sink=${2:-speakers}
  local mic=()
  [ "${1:-}" = microphone ] && mic=(--load="module-null-sink sink_name=microphone norewinds=1"
                                     --load="module-remap-source master=microphone.monitor source_name=mic")
  mkdir -p "$scratch/pulse-home-$sink"
  HOME="$scratch/pulse-home-$sink" pulseaudio -n --daemonize=no --exit-idle-time=-1 --log-target=stderr \
    --load="module-native-protocol-unix auth-anonymous=1" \
    --load="module-null-sink sink_name=$sink" "${mic[@]}" >"$scratch/pulse-$sink.out" 2>&1 &
  pulse_pid=$!
  local i
  for i in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl set-default-sink "$sink"
  [ ${#mic[@]} -eq 0 ] || pactl set-default-source mic
}
stop_pulse() { # stop_pulse: the sound server ends, where one runs
  [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null
  [ -n "$pulse_pid" ] && wait "$pulse_pid" 2>/dev/null
  pulse_pid=""
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
  # character_settings: the text of CharacterService.ini, when set.
  [ -n "${character_settings:-}" ] && printf '%b' "$character_settings" > "$home/.config/Kestrova/CharacterService.ini"
  # gtk_settings: the text of the user's GTK settings file, when set.
  if [ -n "${gtk_settings:-}" ]; then
    mkdir -p "$home/.config/gtk-3.0"
    printf '%b' "$gtk_settings" > "$home/.config/gtk-3.0/settings.ini"
  fi
  log="$scratch/$1.log"
  if ! wm_ready; then
    echo "NOTE: the window manager had ended; it is started again. Its output:"; cat "$scratch/wm.log"
    start_wm
  fi
  HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" "$program" > "$log" 2>&1 &
  app_pid=$!
  wait_for "$log" "Show complete" 20 || return 1
  local at
  at=$(grep -m1 -oE 'Shown at -?[0-9]+ -?[0-9]+ size [0-9]+ [0-9]+' "$log") || return 1
  set -- $at
  cx=$(( $3 + $6 / 2 )); cy=$(( $4 + $7 / 2 ))
}

ended() { # ended: the program ends by itself within 15 s; its exit status
  # Watched every 10 ms rather than every 100: a caller that times the end
  # sees it as it happens.
  if ! timeout 15 tail --pid="$app_pid" -s 0.01 -f /dev/null; then
    kill -9 "$app_pid" 2>/dev/null; wait "$app_pid" 2>/dev/null; app_pid=""
    check "the program ends within 15 s" false
    return 99
  fi
  wait "$app_pid"
  local rc=$?
  app_pid=""
  # Every end is checked here, whatever the caller does with the status: a
  # quit that crashes (139, a segmentation fault; 134, an abort) fails the
  # test even where the caller only wanted the program gone.
  check "the program ends with status 0 (was $rc)" test "$rc" -eq 0
  # On a clock made faster (faked_clock set) the watchdog's 1.75 s pass in a
  # fraction of that: the watchdog may cut off a sound end there.
  [ -n "${faked_clock:-}" ] \
    || check "the program ends without the quit watchdog cutting it off" not_cut_off "$log"
  return $rc
}

stop() { # stop: SIGTERM; its exit status
  kill -TERM "$app_pid"
  ended
}

# Opens the listening prompt with a double click on the character, types the
# phrase and presses Enter.
listen_and_type() { # listen_and_type <phrase>: double click, type, Enter
  start_listening || return 1
  xdotool type --delay 40 "$1"
  xdotool key Return
}
start_listening() { # a double click on the character: it listens, its prompt open
  local before i try heard=""
  # A character stepping aside from a window, or back, is not clicked
  # midway (a click there would stop it short of its place).
  moves_done
  before=$(grep -c "Listening" "$log")
  # A double click the loaded machine split in two, or that another window
  # took, is tried again, so the phrase is not typed into some other window.
  for try in 1 2 3; do
    xdotool mousemove "$cx" "$cy" click --repeat 2 --delay 80 1
    for i in $(seq 50); do [ "$(grep -c "Listening" "$log")" -gt "$before" ] && { heard=yes; break; }; sleep 0.1; done
    [ -n "$heard" ] && break
  done
  if [ -z "$heard" ]; then
    echo "NOTE: the character did not start listening after three double clicks at $cx $cy"
    windows_now
    return 1
  fi
  sleep 0.3
}

# Windows found by their title (window_named, in checks.sh).
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
  # The window manager is asked to close it (wmctrl), which needs no focus;
  # Alt+F4 on the activated window is the second way.
  for try in 1 2 3; do
    w=$(window_named "$1") || return 1
    wmctrl -i -c "$w" 2>/dev/null
    gone "$1" && return 0
    w=$(window_named "$1" 1) || return 0
    xdotool windowactivate --sync "$w" key alt+F4 2>/dev/null
    gone "$1" && return 0
  done
  echo "NOTE: \"$1\" would not close"
  windows_now
  return 1
}
windows_now() { # the visible windows by title, and whether the window manager runs
  local w
  echo "  window manager: $(wm_ready && echo running || echo "not running or not ready")"
  for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
    echo "  window $w: $(xdotool getwindowname "$w" 2>/dev/null)"
  done
}

# The closing line; the logs of failed runs first. Returns the verdict.
finish() { # finish <log>...
  if [ $failures -ne 0 ]; then
    local l
    [ "$wm" = none ] || running "$wm_pid" || { echo "--- the window manager ended during the test:"; cat "$scratch/wm.log"; }
    for l in "$@"; do echo "--- $l"; tail -n 30 "$l" 2>/dev/null; done
  fi
  echo "$passes passed, $failures failed"
  [ $failures -eq 0 ]
}
