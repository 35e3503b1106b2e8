#!/usr/bin/env bash
# The character on a Wayland desktop, through XWayland: KWin (--virtual),
# GNOME Shell (--headless) or sway (headless, tiling), each started here in a
# private mount and network namespace, so that the X display and sockets its
# XWayland takes meet no other X server on the machine. The desktop's own
# pointer and keyboard drive the program (KWin's fake input protocol, GNOME's
# RemoteDesktop interface, wlroots' virtual pointer and keyboard): xdotool
# would move only XWayland's pointer. Checks, as on the other
# desktops: shown at its rest position, transparent, never a task (by the
# desktop's own view on KWin), above a clicked window, the right-click menu,
# a typed command, About with the focus, a drag, and "move to mouse" with
# the pointer over an X window (goes there) and over no X window (says it
# cannot see the pointer there rather than going to a stale place).
#   wayland_desktops.sh <program> <kwin|gnome|sway>
# With KESTROVA_SHOTS=<folder> it saves screenshots there. Needs root (the
# namespace). Skips (77) when the desktop is not installed, unless CI=true:
# then that fails.
set -u
program=$(realpath "$1")
desk=$2
here=$(cd "$(dirname "$0")" && pwd)
case "$desk" in
  kwin) packages=(kwin-wayland kde-spectacle xwayland xterm x11-utils xdotool wmctrl imagemagick libwayland-dev gcc)
        tools=(kwin_wayland kwin_wayland_wrapper spectacle Xwayland xterm xprop xwininfo xdotool convert gcc) ;;
  gnome) packages=(gnome-shell mutter gnome-screenshot xwayland python3-gi xterm x11-utils xdotool imagemagick)
         tools=(gnome-shell gnome-screenshot Xwayland gdbus xterm xprop xwininfo xdotool convert) ;;
  sway) packages=(sway grim xwayland xterm x11-utils x11-xserver-utils xdotool imagemagick libwayland-dev libxkbcommon-dev gcc)
        tools=(sway swaymsg grim Xwayland xterm xprop xwininfo xhost xdotool convert wayland-scanner gcc) ;;
  *) echo "wayland_desktops.sh: unknown desktop '$desk' (kwin, gnome or sway)" >&2; exit 2 ;;
esac

if [ -z "${KESTROVA_NS_SCRATCH:-}" ]; then
  missing=()
  for tool in "${tools[@]}"; do command -v "$tool" >/dev/null || missing+=("$tool"); done
  if [ ${#missing[@]} -ne 0 ]; then
    if [ "${CI:-}" = true ]; then
      echo "FAIL: ${missing[*]} not installed; the packages: ${packages[*]}$( [ "$desk" = kwin ] && echo ' (scripts/deps.sh test installs them)')"
      exit 1
    fi
    echo "SKIP: ${missing[*]} not installed (apt-get install --no-install-recommends ${packages[*]})"
    exit 77
  fi
  if [ "$(id -u)" -ne 0 ]; then
    [ "${CI:-}" = true ] && { echo "FAIL: the $desk test needs root for its namespace"; exit 1; }
    echo "SKIP: the $desk test needs root for its namespace"; exit 77
  fi
  scratch=$(mktemp -d /tmp/kestrova-wayland.XXXXXX)
  KESTROVA_NS_SCRATCH=$scratch unshare --mount --net --fork bash "$0" "$@"
  rc=$?
  rm -rf "$scratch"
  exit $rc
fi

# --- inside the namespace ---------------------------------------------------
scratch=$KESTROVA_NS_SCRATCH
mount --make-rprivate /
ip link set lo up 2>/dev/null
# /tmp anew (with the scratch folder bound back in), so XWayland's display
# number, lock file and sockets are this run's own.
mkdir -p /run/kestrova-keep-$$
mount --bind "$scratch" /run/kestrova-keep-$$
mount -t tmpfs -o mode=1777 tmpfs /tmp
mkdir -p "$scratch" /tmp/.X11-unix /tmp/.ICE-unix
chmod 1777 /tmp/.X11-unix /tmp/.ICE-unix
mount --bind /run/kestrova-keep-$$ "$scratch"

. "$here/checks.sh"
# Every process of this namespace goes at the end, each by its id.
end_all() {
  local me p pids=""
  me=$(readlink /proc/$$/ns/mnt)
  for p in /proc/[0-9]*; do
    p=${p#/proc/}
    [ "$p" = "$$" ] || [ "$p" = "$PPID" ] || [ "$p" = "$BASHPID" ] && continue
    [ "$(readlink /proc/$p/ns/mnt 2>/dev/null)" = "$me" ] && pids="$pids $p"
  done
  [ -n "$pids" ] || return 0
  kill $pids 2>/dev/null; sleep 1
  for p in $pids; do kill -0 "$p" 2>/dev/null && kill -9 "$p" 2>/dev/null; done
  return 0
}
trap end_all EXIT

run=$scratch/run
mkdir -p "$run" "$scratch/desk-home"; chmod 700 "$run"
export XDG_RUNTIME_DIR=$run
unset DISPLAY WAYLAND_DISPLAY XAUTHORITY QT_QPA_PLATFORM
dbus-daemon --session --address="unix:path=$run/bus" --nofork --nopidfile >"$scratch/bus.log" 2>&1 &
export DBUS_SESSION_BUS_ADDRESS=unix:path=$run/bus
for i in $(seq 50); do [ -S "$run/bus" ] && break; sleep 0.1; done
size=1280x800
W=${size%x*}; H=${size#*x}
started=$(date +%s%N)
case "$desk" in
  kwin)
    # kwin_wayland carries a file capability that a container's bounding
    # set may lack (its start then fails with EPERM): a plain copy first on
    # PATH, where kwin_wayland_wrapper looks for it.
    mkdir -p "$scratch/bin"; cp /usr/bin/kwin_wayland "$scratch/bin/"
    gcc -o "$scratch/bin/kfake" "$here/desktops/kfake.c" "$here/desktops/fake-input.c" \
      "$here/desktops/input-commands.c" -lwayland-client \
      || { echo "FAIL: the input tool did not build"; exit 1; }
    # spectacle may take screenshots through KWin's D-Bus interface as its
    # desktop entry says; KWin looks that up in KDE's cache.
    HOME=$scratch/desk-home kbuildsycoca5 --noincremental >/dev/null 2>&1
    HOME=$scratch/desk-home PATH=$scratch/bin:$PATH KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 \
      kwin_wayland_wrapper --virtual --xwayland --width "$W" --height "$H" --no-lockscreen >"$scratch/desktop.log" 2>&1 &
    for i in $(seq 300); do
      disp=$(ls /tmp/.X11-unix/ 2>/dev/null | sed -n 's/^X//p' | head -n 1)
      xa=$(ls -t "$run"/xauth_* 2>/dev/null | head -n 1)
      [ -n "$disp" ] && [ -n "$xa" ] && DISPLAY=:$disp XAUTHORITY=$xa xdpyinfo >/dev/null 2>&1 \
        && gdbus introspect --session --dest org.kde.KWin --object-path /KWin >/dev/null 2>&1 && break
      sleep 0.1
    done
    export DISPLAY=:$disp XAUTHORITY=$xa WAYLAND_DISPLAY=$(cd "$run" && ls wayland-? | head -n 1)
    export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true
    input() { "$scratch/bin/kfake" "$@"; }
    shoot() { HOME=$scratch/desk-home spectacle -b -n -p -f -o "$1" >/dev/null 2>&1; }
    ;;
  gnome)
    # No logind here: under a tmpfs over /run/systemd the Shell uses its
    # stand-in; it also wants a system bus, one of its own.
    mountpoint -q /run/systemd || mount -t tmpfs tmpfs /run/systemd
    dbus-daemon --session --address="unix:path=$run/system_bus_socket" --nofork --nopidfile >"$scratch/sysbus.log" 2>&1 &
    export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$run/system_bus_socket
    for i in $(seq 50); do [ -S "$run/system_bus_socket" ] && break; sleep 0.1; done
    HOME=$scratch/desk-home gsettings set org.gnome.desktop.notifications show-banners false
    HOME=$scratch/desk-home gnome-shell --headless --wayland --virtual-monitor "$size" --wayland-display wayland-kes \
      >"$scratch/desktop.log" 2>&1 &
    for i in $(seq 600); do grep -q 'GNOME Shell started' "$scratch/desktop.log" && break; sleep 0.1; done
    disp=$(grep -oE 'Using public X11 display :[0-9]+' "$scratch/desktop.log" | grep -oE '[0-9]+$')
    export DISPLAY=:$disp XAUTHORITY=$(ls "$run"/.mutter-Xwaylandauth.* 2>/dev/null | head -n 1) WAYLAND_DISPLAY=wayland-kes
    export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME
    # The Shell opens its overview at start: closed, as a user would.
    gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
      --method org.freedesktop.DBus.Properties.Set org.gnome.Shell OverviewActive "<false>" >/dev/null
    sleep 1
    input() { SIZE=$size /usr/bin/python3 "$here/desktops/rd.py" "$@"; }
    shoot() { HOME=$scratch/desk-home gnome-screenshot -p -f "$1" >/dev/null 2>&1; }
    ;;
  sway)
    # sway will not run as root: the session is the user nobody's, in
    # folders it owns, and lets root's X clients (the program, the checks)
    # into its XWayland.
    swayrun=$scratch/sway-run
    chmod 711 "$scratch"
    mkdir -p "$swayrun" "$scratch/sway-home" "$scratch/bin"; chmod 700 "$swayrun"
    chown nobody:nogroup "$swayrun" "$scratch/sway-home"
    printf 'xwayland enable\noutput HEADLESS-1 resolution %s position 0 0 bg #5a7fa8 solid_color\nfocus_follows_mouse no\n' \
      "$size" > "$scratch/sway.config"; chmod 644 "$scratch/sway.config"
    g=$scratch/bin
    for proto in virtual-pointer:wlr-virtual-pointer-unstable-v1 virtual-keyboard:virtual-keyboard-unstable-v1; do
      wayland-scanner client-header "$here/desktops/${proto#*:}.xml" "$g/${proto%%:*}-client.h" \
        && wayland-scanner private-code "$here/desktops/${proto#*:}.xml" "$g/${proto%%:*}.c" \
        || { echo "FAIL: the input tool's protocol code was not made"; exit 1; }
    done
    gcc -I"$g" -o "$g/wlr-input" "$here/desktops/wlr-input.c" "$here/desktops/input-commands.c" \
      "$g/virtual-pointer.c" "$g/virtual-keyboard.c" -lwayland-client -lxkbcommon \
      || { echo "FAIL: the input tool did not build"; exit 1; }
    HOME=$scratch/sway-home XDG_RUNTIME_DIR=$swayrun WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
      WLR_RENDERER=pixman setpriv --reuid=nobody --regid=nogroup --clear-groups \
      sway -c "$scratch/sway.config" >"$scratch/desktop.log" 2>&1 &
    for i in $(seq 300); do
      disp=$(ls /tmp/.X11-unix/ 2>/dev/null | sed -n 's/^X//p' | head -n 1)
      [ -n "$disp" ] && ls "$swayrun"/sway-ipc.* >/dev/null 2>&1 \
        && XDG_RUNTIME_DIR=$swayrun setpriv --reuid=nobody --regid=nogroup --clear-groups \
             env DISPLAY=:$disp xhost +si:localuser:root >/dev/null 2>&1 && break
      sleep 0.1
    done
    export DISPLAY=:$disp WAYLAND_DISPLAY=$swayrun/$(cd "$swayrun" && ls wayland-? | head -n 1)
    export SWAYSOCK=$(ls "$swayrun"/sway-ipc.* | head -n 1) XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=sway
    # One pointer and one keyboard for the whole run, as a user has: a new
    # virtual device for every command would come with a keymap of its own.
    coproc wlr_input { SIZE=$size "$g/wlr-input" 2>"$scratch/input.log"; }
    input() {
      local command reply
      for command; do
        echo "$command" >&"${wlr_input[1]}"
        read -r -t 10 -u "${wlr_input[0]}" reply && [ "$reply" = ok ] \
          || { echo "NOTE: input \"$command\": ${reply:-no answer} $(cat "$scratch/input.log")"; return 1; }
      done
    }
    shoot() { grim "$1"; }
    ;;
esac
echo "NOTE: $desk started in $(( ($(date +%s%N) - started) / 1000000 )) ms on DISPLAY=$DISPLAY"
if [ -z "${disp:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  echo "FAIL: $desk did not start with XWayland within 60 s"; tail -n 30 "$scratch/desktop.log"; exit 1
fi

# --- the desktop's input ------------------------------------------------------
px=0; py=0
to() { px=$1; py=$2; input "to $1 $2"; sleep 0.2; }
# A new virtual device's first button counts only after a motion: each click
# moves first, in the same connection.
click() { input "to $px $py" "click $1"; }
dclick() { input "to $px $py" "dclick 1"; }
typ() { input "type $1"; }
key() { input "key $1"; }
drag() { input "drag $1 $2 $3 $4"; sleep 0.3; }

shots=${KESTROVA_SHOTS:+$KESTROVA_SHOTS/$desk}
n=0
shot() { # shot <name>: sets f to the screenshot's file
  n=$((n + 1)); mkdir -p "$scratch/shots"; f="$scratch/shots/$(printf %02d $n)-$1.png"
  shoot "$f" || echo "NOTE: screenshot $1 failed"
  [ -n "$shots" ] && mkdir -p "$shots" && cp "$f" "$shots/" 2>/dev/null
  return 0
}
pixel() { convert "$1" -format "%[pixel:p{$2,$3}]" info: 2>/dev/null; }
active() { printf '%d' "$(xprop -root _NET_ACTIVE_WINDOW 2>/dev/null | grep -oE '0x[0-9a-f]+' | head -n 1)"; }
close_window() { # as the window's close box does (sway's own command there)
  if [ "$desk" = sway ]; then swaymsg -q "[id=$1] kill"
  else wmctrl -i -c "$1" 2>/dev/null || xdotool windowclose "$1" 2>/dev/null; fi
  sleep 0.5
}
listens() { grep -c 'Listening' "$log"; }
# The character steps aside from a window placed under it (a tiling desktop
# centres each one): input goes to where it stands once its moves have ended.
aim() { moves_done; client "$character"; cx=$((wx + ww / 2)); cy=$((wy + wh / 2)); }
start_listening() { # a double click on the character opens its prompt
  local before i try
  aim
  before=$(listens)
  for try in 1 2 3; do
    to "$cx" "$cy"; dclick
    for i in $(seq 50); do [ "$(listens)" -gt "$before" ] && { sleep 0.4; return 0; }; sleep 0.1; done
  done
  return 1
}

# --- the program ---------------------------------------------------------------
home=$scratch/home
mkdir -p "$home/.config/Kestrova" "$scratch/app-runtime"; chmod 700 "$scratch/app-runtime"
printf '[Run]\nNumber=5\n[Rest]\nX=500\nY=300\n' > "$home/.config/Kestrova/Kestrova.ini"
log=$scratch/kestrova.log
# On KWin the program shares the desktop's session bus (KWin tells it where
# the pointer is there); on GNOME it gets none.
app_bus=unix:path=$scratch/no-session-bus
[ "$desk" = kwin ] && app_bus=$DBUS_SESSION_BUS_ADDRESS
HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share XDG_RUNTIME_DIR=$scratch/app-runtime \
  QT_LOGGING_RULES='kestrova.*.debug=true' LANG=C.UTF-8 LC_ALL=C.UTF-8 \
  DBUS_SESSION_BUS_ADDRESS=$app_bus "$program" >"$log" 2>&1 &
app_pid=$!
check "the character is shown" wait_for "$log" "Show complete" 60
at=$(grep -m1 -oE 'Shown at -?[0-9]+ -?[0-9]+ size [0-9]+ [0-9]+' "$log")
set -- $at
check "the log says it is shown at its rest position 500 300 ($at)" test "${3:-} ${4:-}" = "500 300"
sw=${6:-0}; sh=${7:-0}
# A window that opens over the rest position (Tip of the Day, floating on a
# tiling desktop) makes the character step aside at once: its window is the
# one of the shown size, and stands where the log last placed it.
character=""
for w in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
  client "$w" && [ "$ww $wh" = "$sw $sh" ] && character=$w
done
stands_where_placed() {
  local placed
  moves_done; sleep 0.3
  placed=$(grep -oE '(Shown|Placed) at -?[0-9]+ -?[0-9]+|MoveTo -?[0-9]+ -?[0-9]+$' "$log" | tail -n 1 | grep -oE -- '-?[0-9]+ -?[0-9]+')
  client "$character" && [ "$wx $wy" = "$placed" ] && return 0
  echo "NOTE: the character's window is at ${wx:-?},${wy:-?}, the log last placed it at $placed"; return 1
}
check "its X window (${sw}x$sh) stands where the log places it" stands_where_placed
cx=$((wx + sw / 2)); cy=$((wy + sh / 2))

states() { xprop -id "$1" _NET_WM_STATE 2>/dev/null; }
not_a_task() { # not_a_task <window>: no taskbar or pager entry, no attention flag (and, on KWin, as KWin sees it)
  local s; s=$(states "$1")
  [[ $s == *_NET_WM_STATE_SKIP_TASKBAR* && $s == *_NET_WM_STATE_SKIP_PAGER* && $s != *DEMANDS_ATTENTION* ]] \
    || { echo "NOTE: window $1: $s"; return 1; }
  [ "$desk" = kwin ] || return 0
  local view line; view=$(kwin_view); line=$(grep -F " x11=$(printf %d "$1") " <<< "$view")
  [[ $line == *"skipTaskbar=true skipSwitcher=true demandsAttention=false"* ]] && return 0
  echo "NOTE: KWin sees window $1 as: ${line:-nothing}; its windows: $(tr '\n' '|' <<< "$view")"; return 1
}
kwin_view() { # what KWin itself thinks of each X window, through its scripting interface
  local js=$scratch/windows-$RANDOM.js id
  cat > "$js" <<'EOT'
workspace.clientList().forEach(function (c) {
    print("KESWIN x11=" + c.windowId + " skipTaskbar=" + c.skipTaskbar + " skipSwitcher=" + c.skipSwitcher
          + " demandsAttention=" + c.demandsAttention + " caption=" + c.caption);
});
EOT
  local name=kes$RANDOM
  id=$(gdbus call --session --dest org.kde.KWin --object-path /Scripting --method org.kde.kwin.Scripting.loadScript \
         "$js" "$name" 2>/dev/null | grep -oE '[0-9]+' | head -n 1)
  [ -n "$id" ] || return 1
  [ -n "${KESTROVA_DEBUG:-}" ] && echo "NOTE: script $id" >&2
  local before; before=$(wc -l < "$scratch/desktop.log")
  gdbus call --session --dest org.kde.KWin --object-path /Scripting --method org.kde.kwin.Scripting.start >/dev/null 2>&1
  sleep 0.5
  [ -n "${KESTROVA_DEBUG:-}" ] && tail -n +$((before + 1)) "$scratch/desktop.log" >&2
  gdbus call --session --dest org.kde.KWin --object-path /Scripting --method org.kde.kwin.Scripting.unloadScript "$name" >/dev/null 2>&1
  tail -n +$((before + 1)) "$scratch/desktop.log" | grep -oE 'KESWIN .*' | sed 's/$/ /'
}
[ -n "$character" ] && check "the character is never a task" not_a_task "$character"

sleep 1; shot shown
corner=$(pixel "$f" 502 302); outside=$(pixel "$f" 497 302)
check "transparent: the window's corner shows what is beside it ($corner, $outside)" test -n "$corner" -a "$corner" = "$outside"

tip=$(window_named "Tip of the Day" 15) && close_window "$tip"
ql=$(window_named "Quick Launch" 10)
check "Quick Launch is shown" test -n "$ql"
aim

# An xterm over the character, clicked beside it.
xterm -geometry 40x12+$((cx - 120))+$((cy - 80)) -bg '#fff3b0' -T OVER >/dev/null 2>&1 &
xterm_pid=$!
xt=$(window_named OVER 10); sleep 1
client "$xt"; to $((wx + 15)) $((wy + wh - 15)); click 1; sleep 1
shot xterm-clicked
check "the clicked xterm has the focus" test "$(active)" = "$xt"
p=$(pixel "$f" "$cx" "$cy")
check "the character is above the clicked xterm (its middle is $p, the xterm's colour is srgb(255,243,176))" \
  test -n "$p" -a "$p" != "srgb(255,243,176)"
kill "$xterm_pid" 2>/dev/null; sleep 0.5

# The right-click menu.
before=$(grep -c "Command menu at" "$log")
aim; to "$cx" "$cy"; click 3
check "a right click opens the popup menu" bash -c "for i in \$(seq 50); do [ \$(grep -c 'Command menu at' '$log') -gt $before ] && exit 0; sleep 0.1; done; exit 1"
sleep 0.5; shot menu
key Escape; sleep 0.5

# A typed command: About, with the focus.
check "a double click opens the listening prompt" start_listening
shot prompt
typ "about"; key Return
check "the typed phrase reaches the program" wait_for "$log" 'Heard "about"' 5
about=$(window_named "About Kestrova")
check "the typed \"about\" opens About" test -n "$about"
sleep 0.7; shot about
check "About has the focus" test "$(active)" = "$about"
if [ "$desk" = sway ]; then
  # A tiling desktop floats a dialog at its own size; an ordinary window it
  # would stretch over the whole screen.
  floats() { # floats <title>: sway's tree has that window floating
    swaymsg -t get_tree | python3 -c '
import json, sys
def find(node, floating):
    if node.get("name") == sys.argv[1] and node.get("window"):
        return floating
    for child in node.get("nodes", []):
        found = find(child, floating)
        if found is not None:
            return found
    for child in node.get("floating_nodes", []):
        found = find(child, True)
        if found is not None:
            return found
    return None
sys.exit(0 if find(json.load(sys.stdin), False) else 1)' "$1"
  }
  client "$about"
  check "About floats at its own size (${ww}x$wh), not tiled over the screen" floats "About Kestrova"
  check "About is smaller than the screen" test "${ww:-0}" -lt "$W" -a "${wh:-0}" -lt "$((H - 30))"
fi
[ -n "$about" ] && close_window "$about"
[ -n "$character" ] && check "the character is still never a task" not_a_task "$character"

# A drag with the desktop's own pointer.
aim; bx=$wx; by=$wy
drag "$cx" "$cy" $((cx - 200)) $((cy + 60)); sleep 0.8
client "$character"
check "a drag moves the character by -200 +60 ($bx,$by -> $wx,$wy)" \
  test $((wx - bx + 200)) -ge -10 -a $((wx - bx + 200)) -le 10 -a $((wy - by - 60)) -ge -10 -a $((wy - by - 60)) -le 10
shot dragged
cx=$((wx + sw / 2)); cy=$((wy + sh / 2))

x_pointer() { # where the X server says the pointer is, and the top-level window under it
  python3 -c 'import ctypes
x = ctypes.CDLL("libX11.so.6"); x.XOpenDisplay.restype = ctypes.c_void_p
x.XDefaultRootWindow.restype = ctypes.c_ulong; x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
u, i, n = ctypes.c_ulong, ctypes.c_int, ctypes.c_uint
x.XQueryPointer.argtypes = [ctypes.c_void_p, u] + [ctypes.POINTER(u)] * 2 + [ctypes.POINTER(i)] * 4 + [ctypes.POINTER(n)]
d = x.XOpenDisplay(None); r, c, rx, ry, wx, wy, m = u(), u(), i(), i(), i(), i(), n()
x.XQueryPointer(d, x.XDefaultRootWindow(d), r, c, rx, ry, wx, wy, m)
print(rx.value, ry.value, "over window", hex(c.value))'
}
# "Move to mouse": the phrase typed, the pointer moved, then Enter.
move_to_mouse() { # move_to_mouse <x> <y>
  start_listening || return 1
  typ "move to mouse"; to "$1" "$2"; sleep 0.3
  local seen; seen=$(x_pointer)
  # (xwininfo asks for a click on a window when handed none: not for 0x0.)
  echo "NOTE: the pointer at $1 $2; as X clients see it: $seen ($([ "${seen##* }" != 0x0 ] \
    && xwininfo -children -id "${seen##* }" 2>/dev/null | grep -m1 -oE '0x[0-9a-f]+ "[^"]*"'))"
  key Return
  wait_for "$log" 'Heard "move to mouse' 5
}
xterm -geometry 40x12+60+450 -bg '#fff3b0' -T AWAY >/dev/null 2>&1 &
xterm_pid=$!
xt=$(window_named AWAY 10); sleep 0.5
client "$xt"; gx=$((wx + 60)); gy=$((wy + 60))
unseen='I cannot see the mouse pointer there.'
went_beside() { # went_beside <x> <y>: the character stands beside that place
  wait_for "$log" "MoveTo $(( $1 - 70 )) $2 complete" 10; sleep 0.5
  client "$character"
  [ $((wx - $1 + 70)) -ge -10 ] && [ $((wx - $1 + 70)) -le 10 ] && [ $((wy - $2)) -ge -10 ] && [ $((wy - $2)) -le 10 ] \
    && return 0
  echo "NOTE: the character's window is at $wx,$wy"; return 1
}
said_unseen_and_stayed() { # said_unseen_and_stayed: it says it cannot see the pointer, and does not move
  local before=$1 x0 y0
  client "$character"; x0=$wx; y0=$wy
  wait_for "$log" "$unseen" 5 || { echo "NOTE: it did not say \"$unseen\""; return 1; }
  [ "$(grep -c "$unseen" "$log")" -gt "$before" ] || return 1
  sleep 1.5; client "$character"
  [ "$wx $wy" = "$x0 $y0" ] && return 0
  echo "NOTE: it moved from $x0,$y0 to $wx,$wy"; return 1
}
check "\"move to mouse\" is heard with the pointer over an X window" move_to_mouse "$gx" "$gy"
if [ "$desk" = kwin ]; then
  check "the character went beside the pointer over the X window ($gx,$gy)" went_beside "$gx" "$gy"
else
  # GNOME and sway tell an X client nothing of the pointer, and their
  # XWayland keeps the last place over an X window once the pointer leaves
  # them.
  check "it says it cannot see the pointer, and stays" said_unseen_and_stayed 0
fi
shot move-over-xterm
client "$character"; cx=$((wx + sw / 2)); cy=$((wy + sh / 2))
kill "$xterm_pid" 2>/dev/null; sleep 0.5
said=$(grep -c "$unseen" "$log")
check "\"move to mouse\" is heard with the pointer over the bare desktop" move_to_mouse 1100 650
if [ "$desk" = kwin ]; then
  check "the character went beside the pointer over the bare desktop (1100,650)" went_beside 1100 650
else
  check "it says it cannot see the pointer there, and stays" said_unseen_and_stayed "$said"
fi
shot move-over-desktop

kill -TERM "$app_pid"
for i in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
wait "$app_pid" 2>/dev/null; rc=$?
check "the program ends on SIGTERM with status 0 (was $rc)" test "$rc" -eq 0

# --- a first start: the tour offered, and taken -------------------------------
# With a HOME of its own the character asks whether to tour the programme and
# shows Yes/No beside it. "Yes", clicked with the desktop's own pointer, opens
# the tour: the character walks beside the window where the window manager
# put it (sway centres it only after it is shown), not onto its text, and
# stays shown (KWin hides a window manager's utility windows of a program
# whose other window is active, as it sees them).
# The pointer comes onto "Yes" as a hand brings it, in a few small moves:
# on sway, once a popup menu of the program has been open in the session,
# a single jump onto the menu followed at once by a click has XWayland
# report the press somewhere else (the menu then closes unanswered).
# The Tip of the Day is open too: the character stands on none of its
# buttons.
home=$scratch/home-first
mkdir -p "$home/.config"
log=$scratch/kestrova-first.log
HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share XDG_RUNTIME_DIR=$scratch/app-runtime \
  QT_LOGGING_RULES='kestrova.*.debug=true' LANG=C.UTF-8 LC_ALL=C.UTF-8 \
  DBUS_SESSION_BUS_ADDRESS=$app_bus "$program" >"$log" 2>&1 &
app_pid=$!
check "a first start offers the tour" wait_for "$log" "Would you like to tour the programme?" 60
wait_for "$log" "Shown at" 10
at=$(grep -m1 -oE 'Shown at -?[0-9]+ -?[0-9]+ size [0-9]+ [0-9]+' "$log")
set -- $at
sw=${6:-0}; sh=${7:-0}
popup_menu() { # the program's shown popup menu (a nameless window the window manager leaves alone), within 20 s
  local i w
  for i in $(seq 100); do
    for w in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
      xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: yes' \
        && ! xprop -id "$w" WM_NAME 2>/dev/null | grep -q '"' && { echo "$w"; return 0; }
    done
    sleep 0.2
  done
  return 1
}
menu=$(popup_menu)
check "Yes/No is shown beside the question" test -n "$menu"
# The character's window, found while it is shown.
character=""
for w in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
  client "$w" && [ "$ww $wh" = "$sw $sh" ] && character=$w
done
tour=""
if [ -n "$menu" ]; then
  sleep 0.5; shot tour-question
  client "$menu"; echo "NOTE: the menu at $wx,$wy ${ww}x$wh"
  for step in 8 6 4 2 0; do to $((wx + 30 - step * 3)) $((wy + 14 - step)); done
  click 1
  tour=$(window_named "Tour" 10)
fi
check "\"Yes\" opens the tour" test -n "$tour"
beside_tour() { # the character's window lies clear of the tour's (its frame's border aside)
  local i tx ty tw th
  wait_for "$log" "Welcome to kestrova." 20 || { echo "NOTE: the welcome was not said"; return 1; }
  moves_done; sleep 0.5
  client "$tour"; tx=$wx; ty=$wy; tw=$ww; th=$wh
  client "$character"
  echo "NOTE: the tour's inside at $tx,$ty ${tw}x$th; the character at $wx,$wy ${sw}x$sh"
  [ $((wx + sw)) -le $((tx + 8)) ] || [ "$wx" -ge $((tx + tw - 8)) ] || [ $((wy + sh)) -le "$ty" ] || [ "$wy" -ge $((ty + th)) ]
}
shown_still() { # mapped, viewable, neither iconic nor hidden for the window manager
  local m s st
  m=$(xwininfo -id "$character" 2>/dev/null | grep -oE 'Map State: [A-Za-z]+')
  s=$(states "$character"); st=$(xprop -id "$character" WM_STATE 2>/dev/null | grep -oE 'window state: [A-Za-z]+')
  [ "$m" = "Map State: IsViewable" ] && [[ $s != *_NET_WM_STATE_HIDDEN* ]] && [[ $st != *Iconic* ]] && return 0
  echo "NOTE: the character's window: $m; ${st:-no WM_STATE}; $s"; return 1
}
if [ -n "$tour" ] && [ -n "$character" ]; then
  check "the character stands beside the tour where it was placed, not on it" beside_tour
  clear_of_tip() { # the character's window lies clear of the Tip of the Day's inside, where its buttons are
    local tip; tip=$(window_named "Tip of the Day" 2) || { echo "NOTE: no Tip of the Day is shown"; return 1; }
    client "$tip"; local tx=$wx ty=$wy tw=$ww th=$wh
    client "$character"
    echo "NOTE: the Tip of the Day's inside at $tx,$ty ${tw}x$th; the character at $wx,$wy ${sw}x$sh"
    [ $((wx + sw)) -le "$tx" ] || [ "$wx" -ge $((tx + tw)) ] || [ $((wy + sh)) -le "$ty" ] || [ "$wy" -ge $((ty + th)) ]
  }
  check "the character stands clear of the Tip of the Day (its text, OK and Next Tip)" clear_of_tip
  sleep 1
  check "with the tour open the character is still shown" shown_still
  shot tour
  [ "$desk" = kwin ] && check "the character is still never a task with the tour open" not_a_task "$character"
else
  check "the character's window is found (${sw}x$sh)" test -n "$character"
fi
kill -TERM "$app_pid"
for i in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
wait "$app_pid" 2>/dev/null

if [ $failures -ne 0 ]; then
  echo "--- $log"; tail -n 40 "$log"
  echo "--- $desk"; tail -n 20 "$scratch/desktop.log"
fi
echo "$passes passed, $failures failed"
[ $failures -eq 0 ]
