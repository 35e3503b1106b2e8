#!/usr/bin/env bash
# The user's menus in the real program on a virtual X display, with the
# desktop's opener (xdg-open) replaced by a script that writes down what it
# was asked to open: typing "general" in the listening prompt pops up the
# General menu; a favourite from the list file beside the program's folder
# is opened by typing its name; "New E-Mail" from the Internet menu hands
# "mailto:" to the opener.
#   menus_under_xvfb.sh <program> <display number>
# With KESTROVA_SHOTS=<folder> it also saves general.png there.
set -u
display=${2:-74}
shots=${KESTROVA_SHOTS:-}
. "$(dirname "$0")/desktop.sh"

# A copy of the program with a favourites list beside its folder, where
# earlier versions kept it: the first start takes it over.
mkdir -p "$scratch/prog" "$scratch/shim"
cp -r "$(dirname "$1")" "$scratch/prog/bin"
program="$scratch/prog/bin/$(basename "$1")"
printf '%s\r\n' "Weather" "https://weather.example.org/" "Recipes" "https://recipes.example.org/" \
  "" "" "" "" "" "" "" "" "" "" "" "" "" "" "" "" > "$scratch/prog/binfavourites.txt"
opened="$scratch/opened.log"
: > "$opened"
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s"\n' "$opened" > "$scratch/shim/xdg-open"
chmod +x "$scratch/shim/xdg-open"
export PATH="$scratch/shim:$PATH"

menus_mapped() { # how many of the program's windows titled "Kestrova" (its popup menus) are on the screen
  local w n=0
  for w in $(xdotool search --onlyvisible --class kestrova 2>/dev/null); do
    xwininfo -id "$w" 2>/dev/null | grep -q '^xwininfo: Window id: .* "Kestrova"$' && n=$((n + 1))
  done
  echo "$n"
}

check "the character is shown" start menus '[Run]\nNumber=5\n[Rest]\nX=400\nY=300\n'
windows_before=$(menus_mapped)
listen_and_type general
check "typing general raises General" wait_for "$log" 'Command "General" confidence 100' 5
sleep 0.5
windows_after=$(menus_mapped)
shot general
check "a menu window appears ($windows_before before, $windows_after after)" test "$windows_after" -gt "$windows_before"
xdotool key Escape
sleep 0.3

listen_and_type Recipes
check "typing a favourite's name raises it" wait_for "$log" 'Command "Recipes" confidence 100' 5
check "its address goes to the desktop's opener" wait_for "$opened" "https://recipes.example.org/" 10

listen_and_type "internet menu"
check "typing internet menu raises Internet" wait_for "$log" 'Command "Internet" confidence 100' 5
sleep 0.5
# Check Mail, New E-Mail: the second entry.
xdotool key Down Down Return
check "New E-Mail hands mailto: to the opener" wait_for "$opened" "mailto:" 10

stop; rc=$?
check "SIGTERM ends the run with status 0 (was $rc)" test "$rc" -eq 0
finish "$log"
