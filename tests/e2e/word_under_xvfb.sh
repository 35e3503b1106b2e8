#!/usr/bin/env bash
# The word processor in the real program on a virtual X display, with
# LibreOffice Writer installed: "Open" in the menu's Word submenu brings up
# a Writer window, the spoken command "open word doc" (typed in the
# listening prompt) adds a second document, and after a sentence is typed
# and selected in Writer, "read selection" has the character read exactly
# that sentence. Quitting the
# program leaves Writer open. The office is stopped at the end.
#   word_under_xvfb.sh <program> <display number>
# With KESTROVA_SHOTS=<folder> it saves screenshots there.
set -u
program=$1
display=${2:-76}
shots=${KESTROVA_SHOTS:-}
. "$(dirname "$0")/desktop.sh"

# The office this test's program started runs with the test's home; other
# offices on the machine (another test's, the user's) are left alone.
stop_offices() {
  local p
  for p in $(pgrep -x soffice.bin) $(pgrep -x oosplash); do
    tr '\0' '\n' < "/proc/$p/environ" 2>/dev/null | grep -q "^HOME=$scratch/" && kill -9 "$p" 2>/dev/null
  done
}
trap 'stop_offices; cleanup' EXIT

writer_windows() { xdotool search --onlyvisible --name 'LibreOffice Writer$' 2>/dev/null | wc -l; }
writer_count_reaches() { # writer_count_reaches <n> <seconds>
  local i
  for i in $(seq $(( $2 * 10 ))); do [ "$(writer_windows)" -ge "$1" ] && return 0; sleep 0.1; done
  return 1
}

# Wordpad is ticked among the accessories: the second run below starts it.
check "the character is shown" start word "[Run]\nNumber=5\n[Accessories]\nWordpad=Sel\n"
listen_and_type "read selection"
check "reading before Word was opened: the access line" wait_for "$log" 'Speak "I was unable to access Word."' 10
check "... after the Read animation, without ReadReturn" bash -c "grep -E 'Play Read|Speak \"I was unable' '$log' | sed 's/.*#[0-9]* //' | tr '\n' '/' | grep -qx 'Play Read/Speak \"I was unable to access Word.\"/'"
check "... and no Writer window came up" test "$(writer_windows)" -eq 0

# "Open" from the Word submenu of the My Office menu, which the command
# "my office" pops up at the mouse: from its end, Up Up is "Word".
listen_and_type "my office"
sleep 1.5
xdotool key Up; sleep 0.3; xdotool key Up; sleep 0.3; xdotool key Right; sleep 0.5
shot word-submenu
xdotool key Return
# A first start of the office makes its profile: that may take a while.
check "Word, Open from the menu shows a Writer window" writer_count_reaches 1 90
check "the program connected to the office" wait_for "$log" "Connected to the office" 10
sleep 2; shot word-open

listen_and_type "open word doc"
check "\"open word doc\" adds a second Writer window" writer_count_reaches 2 30
check "the new document is announced" wait_for "$log" 'Speak "A new Word document has been created."' 10
sleep 1; shot word-new-document

sentence="The kestrel hovers over the meadow"
w=$(xdotool search --onlyvisible --name 'LibreOffice Writer$' | tail -n 1)
xdotool windowactivate --sync "$w"; sleep 1
xdotool type --delay 30 "$sentence"
# Select the line just typed (Shift+Home), as a user would.
xdotool key shift+Home
sleep 0.5; shot word-selection
listen_and_type "read selection"
check "\"read selection\" reads the selected text" wait_for "$log" "Speak \"$sentence\"" 20
check "... after the Read animation" bash -c "grep -F -B3 'Speak \"$sentence\"' '$log' | grep -q 'Play Read$'"
check "... and returns" wait_for "$log" 'Play ReadReturn' 10

check "the program ends on SIGTERM" stop
check "Writer stays open after the program has ended" test "$(writer_windows)" -ge 2

# A second run in the same home, the office still open: "open wordpad"
# starts Writer as the accessory (its desktop entry), not through the
# automation interface, and "read selection" reads what is selected there.
start_again() { # start_again <name>: the program once more in the home of that run
  local home="$scratch/home-$1" at
  log="$scratch/$1-again.log"
  HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" "$program" > "$log" 2>&1 &
  app_pid=$!
  wait_for "$log" "Show complete" 20 || return 1
  at=$(grep -m1 -oE 'Shown at -?[0-9]+ -?[0-9]+ size [0-9]+ [0-9]+' "$log") || return 1
  set -- $at
  cx=$(( $3 + $6 / 2 )); cy=$(( $4 + $7 / 2 ))
}
first_log=$log
check "a second run in the same home shows the character" start_again word
before=$(xdotool search --onlyvisible --name 'LibreOffice Writer$' | sort)
listen_and_type "open wordpad"
check "\"open wordpad\" brings up one more Writer window" writer_count_reaches 3 60
w=$(comm -13 <(echo "$before") <(xdotool search --onlyvisible --name 'LibreOffice Writer$' | sort) | head -n 1)
sentence="The falcon stoops from a great height"
xdotool windowactivate --sync "$w"; sleep 1
xdotool type --delay 30 "$sentence"
xdotool key shift+Home
sleep 0.5; shot wordpad-selection
listen_and_type "read selection"
check "\"read selection\" after \"open wordpad\" reads the selected text" wait_for "$log" "Speak \"$sentence\"" 30
grep -F 'kestrova.word' "$log" | head -n 5
check "the second run ends on SIGTERM" stop

finish "$first_log" "$log"
