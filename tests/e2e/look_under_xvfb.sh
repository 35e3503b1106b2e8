#!/usr/bin/env bash
# How the real program's windows look and where they appear, on a virtual X
# display:
#   look     light by default; dark when GTK_THEME names Adwaita-dark and
#            when the user's GTK settings prefer dark (both the program's own
#            dark palette: no toolkit is loaded for it)
#   scale    at Xft.dpi 192 the windows are drawn at twice the size
#   screens  two monitors side by side: with the character on the right one,
#            windows open there, and on the left one when it stands there
#   small    twice the scale on a 1024x768 screen: each window's frame, title
#            bar included, is on the screen; a window that can be narrowed
#            stands beside the character, one that cannot (its text does not
#            wrap) is covered by it only at a corner; the options window,
#            whose tabs need its width, stands below it, shortened
#   look_under_xvfb.sh <program> <display number> <look|scale|screens|small>
# With KESTROVA_SHOTS=<folder> it saves screenshots there.
set -u
program=$1
display=${2:-88}
mode=${3:-look}
shots=${KESTROVA_SHOTS:-}
case "$mode" in
  scale) screen_size=2048x1536 ;;
  small) screen_size=1024x768 ;;
  screens) screen_size=2560x800 ;;
  *) screen_size=1024x768 ;;
esac
. "$(dirname "$0")/desktop.sh"

luminance() { # luminance <x> <y>: 0-255 of the screen's pixel there
  /usr/bin/convert "xwd:$scratch/fb/Xvfb_screen0" -crop "1x1+$1+$2" -format '%[fx:int(255*luminance)]' info:
}
options_window() { # the options window: titled "Kestrova" like the menus, but large
  local w i
  for i in $(seq 50); do
    for w in $(xdotool search --onlyvisible --name '^Kestrova$' 2>/dev/null); do
      client "$w" && [ "$ww" -gt 300 ] && [ "$wh" -gt 300 ] && { echo "$w"; return 0; }
    done
    sleep 0.1
  done
  return 1
}
open_options() { # open_options: by the spoken (typed) command; sets wx wy ww wh
  local w
  listen_and_type "options"
  w=$(options_window) || return 1
  sleep 0.6
  client "$w"
}
framed() { # framed <window>: sets fx fy fw fh to its frame on the screen (the window manager's borders)
  local extents
  client "$1" || return 1
  extents=$(xprop -id "$1" _NET_FRAME_EXTENTS | grep -oE '[0-9]+, [0-9]+, [0-9]+, [0-9]+$' | tr -d ,)
  set -- ${extents:-0 0 0 0}
  fx=$((wx - $1)) fy=$((wy - $3)) fw=$((ww + $1 + $2)) fh=$((wh + $3 + $4))
}
character_at() { # character_at <x> <y>: the program's window of the character's size there; sets wx wy ww wh
  local w
  for w in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
    client "$w" || continue
    [ "$wx $wy $ww $wh" = "$1 $2 $kw $kh" ] && { echo "$w"; return 0; }
  done
  return 1
}
moved_to() { # moved_to <x> <y> <line>: after that line of the log, the character is asked to move there (in Qt's units) and arrives, within 10 s
  local i n
  for i in $(seq 100); do
    n=$(tail -n +"$3" "$log" | grep -oE "#[0-9]+ MoveTo $1 $2\$" | tail -n 1 | cut -d' ' -f1)
    [ -n "$n" ] && tail -n +"$3" "$log" | grep -q "$n MoveTo complete" && return 0
    sleep 0.1
  done
  return 1
}
quit_program() {
  stop >/dev/null
}
later='[Run]\nNumber=5\n'

case "$mode" in
look)
  unset GTK_THEME QT_QPA_PLATFORMTHEME
  check "light: the character is shown" start light "$later"
  check "light: the tip window" shown "Tip of the Day"
  sleep 0.5; shot light-tip
  close_window "Tip of the Day"
  check "light: Quick Launch" shown "Quick Launch"
  check "light: the options window opens" open_options
  shot light-options
  bg=$(luminance $((wx + 4)) $((wy + wh / 2)))
  check "light: its background is light ($bg)" test "$bg" -gt 180
  stop >/dev/null

  # On a GNOME desktop, where Qt would load GTK 3 by itself.
  export GTK_THEME=Adwaita:dark XDG_CURRENT_DESKTOP=GNOME
  check "dark (GTK theme): the character is shown" start dark "$later"
  # The greeting's balloon is the character's own: light paper, dark ink.
  sleep 1; shot dark-balloon
  check "dark: the tip window" shown "Tip of the Day"
  sleep 0.5; shot dark-tip
  close_window "Tip of the Day"
  check "dark: Quick Launch" shown "Quick Launch"
  check "dark: the options window opens" open_options
  shot dark-options
  bg=$(luminance $((wx + 4)) $((wy + wh / 2)))
  check "dark: its background is dark ($bg)" test "$bg" -lt 90
  check "dark: no GTK library was loaded" bash -c "! grep -q libgtk-3 /proc/$app_pid/maps"
  stop >/dev/null

  # Only the user's GTK settings file asks for dark windows.
  unset GTK_THEME XDG_CURRENT_DESKTOP
  gtk_settings='[Settings]\ngtk-application-prefer-dark-theme=1\n'
  check "dark (GTK settings file): the character is shown" start fallback "$later"
  unset gtk_settings
  close_window "Tip of the Day"
  check "fallback: the options window opens" open_options
  shot fallback-options
  bg=$(luminance $((wx + 4)) $((wy + wh / 2)))
  check "fallback: its background is dark ($bg)" test "$bg" -lt 90
  stop >/dev/null
  unset GTK_THEME QT_QPA_PLATFORMTHEME
  ;;
scale)
  echo "Xft.dpi: 192" | xrdb -nocpp -merge
  check "scale 2: the character is shown" start scale "$later"
  # The log gives the place in Qt's units; the pointer moves in pixels.
  cx=$((cx * 2)) cy=$((cy * 2))
  sleep 1; shot scale2-character
  # The character's window (the balloon has its title too) is the one at
  # the logged place; twice its 136x142, not four times.
  set -- $(grep -m1 -oE 'Shown at -?[0-9]+ -?[0-9]+ size [0-9]+ [0-9]+' "$log")
  ww=0 wh=0
  for w in $(xdotool search --onlyvisible --name '^Kess$' 2>/dev/null); do
    client "$w" && [ "$wx" -eq $(($3 * 2)) ] && [ "$wy" -eq $(($4 * 2)) ] && break
    ww=0 wh=0
  done
  check "scale 2: the character's window is twice its $6x$7 (${ww}x$wh)" \
    test "$ww" -eq $(($6 * 2)) -a "$wh" -eq $(($7 * 2)) -a "$6" -eq 136
  # A loaded machine may take a while to bring the tip at double size.
  check "scale 2: the tip window" window_named "Tip of the Day" 30 >/dev/null
  close_window "Tip of the Day"
  if ! window_named "Quick Launch" 20 >/dev/null; then
    check "scale 2: Quick Launch" false
    finish "$log"; exit
  fi
  check "scale 2: Quick Launch" true
  client "$(window_named "Quick Launch")"
  check "scale 2: Quick Launch is drawn at twice its size (${ww}x$wh)" test "$wh" -ge 60
  check "scale 2: the options window opens" open_options
  check "scale 2: it is twice its 560x420 (${ww}x$wh)" test "$ww" -ge 1100 -a "$wh" -ge 820
  shot scale2-options
  xdotool mousemove "$cx" "$cy" click 3
  sleep 0.8; shot scale2-menu
  xdotool key Escape
  sleep 0.3
  close_window "Kestrova" 2>/dev/null
  # The other windows, each looked at on its own.
  for entry in "open calender:Calender:calendar" "new search:Search:search" "open file:Open/Run File:open" \
              "about:About Kestrova:about" "open alarm:Set Alarm:alarm" "change user:User:user"; do
    IFS=: read -r phrase title name <<< "$entry"
    listen_and_type "$phrase"
    check "scale 2: \"$phrase\" opens $title" shown "$title"
    sleep 0.6; shot "scale2-$name"
    close_window "$title"
  done
  stop >/dev/null
  ;;
screens)
  # One wide screen as two monitors, the left one first (primary).
  xrandr --setmonitor L 1280/340x800/210+0+0 screen >/dev/null
  xrandr --setmonitor R 1280/340x800/210+1280+0 none >/dev/null
  check "screens: the character is shown on the right monitor" \
    start right '[Run]\nNumber=5\n[Rest]\nX=2000\nY=500\n'
  check "  it stands there (at $cx $cy)" test "$cx" -gt 1280
  check "screens: the tip window" shown "Tip of the Day"
  client "$(window_named "Tip of the Day")"
  check "  the tip window opens on the right monitor (at $wx)" test "$wx" -ge 1280
  close_window "Tip of the Day"
  check "screens: Quick Launch" shown "Quick Launch"
  client "$(window_named "Quick Launch")"
  # It keeps its place at the top right, of the character's monitor.
  check "  Quick Launch at the top right of the right monitor (at $wx $wy)" \
    test "$wx" -ge $((1280 + 640)) -a "$wy" -lt 200
  check "screens: the options window opens" open_options
  # Centred it would cover the character, which stands at the monitor's
  # right: it opens beside it instead, on the same monitor.
  check "  on the right monitor, clear of the character (at $wx $wy, ${ww}x$wh; the character at $cx)" \
    test "$wx" -ge 1280 -a $(( wx + ww )) -le "$cx"
  sleep 0.3; shot screens-right
  # The right monitor unplugged: the character comes onto the left one.
  xrandr --delmonitor R >/dev/null
  moved=""
  for _ in $(seq 50); do
    for w in $(xdotool search --onlyvisible --name '^Kess$' 2>/dev/null); do
      client "$w" && [ "$ww" -eq 136 ] && [ "$wx" -ge 0 ] && [ $((wx + ww)) -le 1280 ] && moved=yes && break
    done
    [ -n "$moved" ] && break
    sleep 0.1
  done
  check "screens: the right monitor unplugged, the character comes onto the left one (at $wx $wy)" test -n "$moved"
  shot screens-unplugged
  xrandr --setmonitor R 1280/340x800/210+1280+0 none >/dev/null
  stop >/dev/null
  check "screens: the character on the left monitor" start left '[Run]\nNumber=5\n[Rest]\nX=300\nY=500\n'
  check "  it stands there (at $cx $cy)" test "$cx" -lt 1280
  close_window "Tip of the Day"
  check "  Quick Launch on the left monitor" shown "Quick Launch"
  client "$(window_named "Quick Launch")"
  check "  at its top right (at $wx $wy)" test "$wx" -ge 640 -a "$wx" -lt 1280
  check "  the options window opens on the left monitor" open_options
  check "  (at $wx $wy)" test $(( wx + ww )) -le 1280
  sleep 0.3; shot screens-left
  stop >/dev/null
  ;;
small)
  export QT_SCALE_FACTOR=2 QT_LOGGING_RULES="$QT_LOGGING_RULES;kestrova.placement.debug=true"
  check "small: the character is shown" start small "$later"
  # The log gives the place in Qt's units; the screen has pixels.
  set -- $(grep -m1 -oE 'Shown at -?[0-9]+ -?[0-9]+ size [0-9]+ [0-9]+' "$log")
  kx=$(($3 * 2)) ky=$(($4 * 2)) kw=$(($6 * 2)) kh=$(($7 * 2))
  cx=$((cx * 2)) cy=$((cy * 2))
  close_window "Tip of the Day"
  check "small: Quick Launch" shown "Quick Launch"
  # Each with how much of the character may lie over it: none, or a corner
  # (less than a quarter of it) where the window cannot be narrowed. The
  # options window keeps its tabs whole rather than narrow: it is made
  # shorter and stands below the character, its pages scrolling. The user
  # window is placed before it is framed: its frame, title bar included,
  # must still be on the screen.
  for entry in "open calender:Calender:calendar:none" "new search:Search:search:corner" \
               "about:About Kestrova:about:none" "change user:User:user:none" "options:Kestrova:options:none"; do
    IFS=: read -r phrase title name covered <<< "$entry"
    listen_and_type "$phrase"
    if [ "$name" = options ]; then
      w=$(options_window)
    else
      w=$(window_named "$title")
    fi
    if [ -z "$w" ]; then
      check "small: \"$phrase\" opens $title" false
      continue
    fi
    sleep 0.8; framed "$w"
    check "small: $title's frame is on the screen (${fw}x$fh at $fx $fy)" \
      test "$fx" -ge 0 -a "$fy" -ge 0 -a $((fx + fw)) -le 1024 -a $((fy + fh)) -le 768
    # What of the character lies over the window: a corner, not a quarter.
    ox=$(( (fx + fw < kx + kw ? fx + fw : kx + kw) - (fx > kx ? fx : kx) ))
    oy=$(( (fy + fh < ky + kh ? fy + fh : ky + kh) - (fy > ky ? fy : ky) ))
    [ "$ox" -gt 0 ] && [ "$oy" -gt 0 ] || ox=0 oy=0
    if [ "$covered" = none ]; then
      check "  the character covers none of it (${ox}x$oy)" test $((ox * oy)) -eq 0
    else
      check "  the character covers ${ox}x$oy of it, less than a quarter of the character's ${kw}x$kh" \
        test $((ox * oy * 4)) -lt $((kw * kh))
    fi
    shot "small-$name"
    close_window "$title"
  done
  stop >/dev/null
  ;;
*) echo "look_under_xvfb.sh: unknown mode '$mode' (look, scale, screens or small)" >&2; exit 2 ;;
esac
finish "$log"
