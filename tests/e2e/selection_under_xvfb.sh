#!/usr/bin/env bash
# The text selected in another program, read aloud by the real program on a
# virtual X display. Another process (selection_owner, built beside the
# program) owns the primary selection with a hostile text: a backslash tag,
# "|" signs, an escape sequence, a bell and a right-to-left override. Typing
# "read this" in the listening prompt, and the Quick Launch item "Read
# Selected Text", have the character say that text as it stands, cleaned;
# a new owner's text is read the next time; with no owner left the
# character plays "Read" and says nothing, as for an empty clipboard.
#   selection_under_xvfb.sh <program> <display number>
# With KESTROVA_SHOTS=<folder> it also saves menu.png of the toolbar's menu.
set -u
program=$1
display=${2:-78}
shots=${KESTROVA_SHOTS:-}
owner_bin="$(dirname "$program")/selection_owner"
. "$(dirname "$0")/desktop.sh"

owner_pid=""
owner_out=""
own() { # own <file>: another program owns the primary selection with the file's text
  owner_out="$scratch/owner-$(basename "$1").out"
  "$owner_bin" "$1" > "$owner_out" 2>&1 &
  owner_pid=$!
  wait_for "$owner_out" owned 10
}
trap '[ -n "$owner_pid" ] && kill "$owner_pid" 2>/dev/null; cleanup' EXIT

esc=$'\x1b' bel=$'\x07' rlo=$'\u202e'
printf '%s' "Minutes of the meeting | \\Map=\"a\"=\"b\"\\ ${esc}[31mred${esc}[0m bell${bel} report${rlo}txt.exe" \
  > "$scratch/first.txt"
first='Speak "Minutes of the meeting | \Map="a"="b"\ red bell reporttxt.exe"'
printf 'The second text|chosen later' > "$scratch/second.txt"
second='Speak "The second text|chosen later"'

check "another program owns the primary selection" own "$scratch/first.txt"
check "the character is shown" start selection '[Run]\nNumber=5\n[Rest]\nX=40\nY=300\n'
shown "Tip of the Day" && close_window "Tip of the Day"
check "Quick Launch is shown" shown "Quick Launch"

# 1. Typed in the listening prompt.
check "the prompt takes the phrase" listen_and_type "read this"
check "\"read this\" raises Read Selected Text" wait_for "$log" 'Command "Read Selected Text" confidence 100' 5
check "the character plays Read" wait_for "$log" "Play Read" 5
check "and says the other program's text as it stands, cleaned" wait_for "$log" "$first" 5
check "the other program still owns the selection" bash -c "! grep -q lost '$owner_out'"

# 2. A new owner; the Quick Launch menu's item.
old_owner=$owner_pid
check "a second program takes the selection" own "$scratch/second.txt"
check "the first one is told it lost it" wait_for "$scratch/owner-first.txt.out" lost 5
kill "$old_owner" 2>/dev/null
quick=$(window_named "Quick Launch")
client "$quick"
# The "Agent Options" button is the toolbar's last; its arrow at its right
# edge opens the menu, whose last item is "Read Selected Text". A click the
# loaded machine lost is tried again.
for try in 1 2 3; do
  xdotool mousemove $((wx + ww - 8)) $((wy + wh / 2)) click 1
  sleep 1
  [ "$try" = 1 ] && shot menu
  xdotool key Up Return
  wait_for "$log" "$second" 3 && break
  xdotool key Escape
done
check "the toolbar item reads the new owner's text" wait_for "$log" "$second" 5

# 3. Nobody owns the selection.
kill "$owner_pid" 2>/dev/null; wait "$owner_pid" 2>/dev/null; owner_pid=""
reads=$(grep -c "Play Read" "$log")
listen_and_type "read the selected text"
check "\"read the selected text\" raises the command" wait_for "$log" 'Command "Read Selected Text" confidence 100 from "read the selected text"' 5
for _ in $(seq 50); do [ "$(grep -c "Play Read" "$log")" -gt "$reads" ] && break; sleep 0.1; done
check "with nothing selected it plays Read again" test "$(grep -c "Play Read" "$log")" -gt "$reads"
check "and says an empty text" wait_for "$log" 'Speak ""' 5

stop; rc=$?
check "SIGTERM ends the run with status 0 (was $rc)" test "$rc" -eq 0
finish "$log"
