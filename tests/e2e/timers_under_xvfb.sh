#!/usr/bin/env bash
# The alarm and the jokes in the real program on a virtual X display, after
# the options window has been opened (by its spoken command) and closed
# with Escape, with no clock on the screen:
# - an alarm set for the next minute rings within 2 s of that minute, and
#   so does a second one set after the first has rung and the options
#   window has been opened and closed;
# - a new user's jokes switch (nothing stored, the box "Turn the Jokes off."
#   unticked) tells jokes at minutes 5 and 10. That run is on a clock ten
#   times as fast (libfaketime, preloaded into this run only), so the ten
#   minutes take one.
# "Set Alarm" closed with Escape keeps the alarm armed.
#   timers_under_xvfb.sh <program> <display number>
set -u
program=$1
display=${2:-98}
shots=${KESTROVA_SHOTS:-}
. "$(dirname "$0")/desktop.sh"

# Opens the options window by its spoken command and closes it with Escape.
options_and_escape() {
  listen_and_type "open options"
  check "\"open options\" opens the options window" shown "Kestrova"
  sleep 0.5; shot "options-$1"
  xdotool windowactivate --sync "$(window_named "Kestrova")" key Escape 2>/dev/null
  check "Escape closes the options window" gone "Kestrova"
}
close_tip() {
  check "the tip window comes up" shown "Tip of the Day"
  close_window "Tip of the Day"
  check "Quick Launch follows" shown "Quick Launch"
}
now_s() { date +%s.%N; }
# Waits for <text> in the log up to <seconds>; prints when it came (epoch s).
seen_at() {
  local i
  for i in $(seq $(( $2 * 20 ))); do
    grep -qF -- "$1" "$log" && { now_s; return 0; }
    sleep 0.05
  done
  return 1
}

# Sets the alarm through "Set Alarm" for the minute at <epoch s>, with an
# event text.
set_alarm() {
  listen_and_type "open alarm"
  check "\"open alarm\" opens Set Alarm" shown "Set Alarm"
  client "$(window_named "Set Alarm")"
  xdotool mousemove $((wx + 120)) $((wy + 54)) click 1
  xdotool type --delay 30 "$(date -d "@$1" +%H:%M)"
  xdotool key Tab
  xdotool type --delay 30 "$2"
  xdotool key Return
  check "OK closes the alarm window" gone "Set Alarm"
}
# The next minute at least 20 s ahead (time to type it), in epoch seconds.
next_minute() { echo $(( ($(date +%s) + 20 + 59) / 60 * 60 )); }
# Checks that the event is spoken within 2 s after the minute at <epoch s>.
rings_on_time() {
  local rang late at
  at=$(date -d "@$2" +%H:%M)
  if rang=$(seen_at "Speak \"$1\"" $(( $2 - $(date +%s) + 30 ))); then
    late=$(awk -v r="$rang" -v a="$2" 'BEGIN { printf "%.2f", r - a }')
    echo "alarm for $at rang $late s after its minute"
    check "the alarm rings within 2 s of $at (was $late s)" awk -v l="$late" 'BEGIN { exit !(l >= 0 && l <= 2) }'
  else
    check "the alarm rings at $at" false
  fi
}

# 1. The alarm, at the speed of the real clock: it rings; after the options
# window has been opened and closed, another alarm rings too.
check "the character is shown" start alarm
close_tip
at_s=$(next_minute)
set_alarm "$at_s" "stretch your legs"
rings_on_time "stretch your legs" "$at_s"
options_and_escape alarm
at_s=$(next_minute)
set_alarm "$at_s" "drink some water"
# Escape in a new "Set Alarm" closes it and leaves the alarm armed.
listen_and_type "open alarm"
check "\"open alarm\" opens Set Alarm again" shown "Set Alarm"
xdotool windowactivate --sync "$(window_named "Set Alarm")" key Escape 2>/dev/null
check "Escape closes it" gone "Set Alarm"
rings_on_time "drink some water" "$at_s"
stop; rc=$?
check "SIGTERM ends the run with status 0 (was $rc)" test "$rc" -eq 0
alarm_log=$log

# 2. Jokes, for a new user with a lead-in saved, on a clock ten times as fast.
faketime_lib=""
for f in /usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1 /usr/lib/*/faketime/libfaketimeMT.so.1; do
  [ -f "$f" ] && { faketime_lib=$f; break; }
done
# libfaketime hangs a program built with AddressSanitizer in its first
# clock_gettime(): the sanitised build is checked on the timers' unit tests.
skip=""
[ -z "$faketime_lib" ] && skip="the jokes run needs libfaketime (package faketime)"
grep -qa __asan_init "$program" && skip="libfaketime does not run beside AddressSanitizer"
if [ -n "$skip" ]; then
  echo "SKIP: $skip"
  finish "$alarm_log"
  exit $?
fi
real_program=$program
program="$scratch/fast-kestrova"
printf '#!/bin/sh\nLD_PRELOAD=%s FAKETIME="+0 x10" exec %q "$@"\n' "$faketime_lib" "$real_program" > "$program"
chmod +x "$program"
faked_clock=x10
# The joke timer starts while the program loads: after "started", before
# "shown". A joke is not early if it comes 4.5 minutes after "started" or
# later, and not late if it comes 5.5 minutes after "shown" or sooner.
started=$(now_s)
check "the character is shown (fast clock)" start jokes '[Run]\nNumber=5\n[Jokes]\nSay=Joke time:\n'
shown=$(now_s)
close_tip
options_and_escape jokes
# Minute 5 is 30 s of real time from the start, minute 10 is 60 s.
first=$(seen_at 'Speak "Joke time:"' 50) || first=""
check "a joke is told" test -n "$first"
for _ in $(seq 600); do [ "$(grep -c 'Speak "Joke time:"' "$log")" -ge 2 ] && break; sleep 0.05; done
second=$(now_s)
check "a second joke is told" test "$(grep -c 'Speak "Joke time:"' "$log")" -ge 2
minutes() { awk -v t="$1" -v s="$2" 'BEGIN { printf "%.2f", (t - s) * 10 / 60 }'; }
within() { awk -v a="$1" -v b="$2" -v lo="$3" -v hi="$4" 'BEGIN { exit !(a >= lo && b <= hi) }'; }
if [ -n "$first" ]; then
  echo "jokes at minutes $(minutes "$first" "$started")-$(minutes "$first" "$shown") and $(minutes "$second" "$started")-$(minutes "$second" "$shown") of the run"
  check "the first joke at minute 5" within "$(minutes "$first" "$started")" "$(minutes "$first" "$shown")" 4.5 5.5
  check "the second at minute 10" within "$(minutes "$second" "$started")" "$(minutes "$second" "$shown")" 9.5 10.5
fi
check "the switch is still not stored" bash -c "! grep -q '^Status=' '$scratch/home-jokes/.config/Kestrova/Kestrova.ini'"
stop; rc=$?
check "SIGTERM ends the fast run with status 0 (was $rc)" test "$rc" -eq 0
finish "$alarm_log" "$log"
