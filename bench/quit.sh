#!/usr/bin/env bash
# How long Kestrova takes to end: from SIGTERM to the end of the process,
# timed from outside, for a program left alone after its greeting and for
# one whose mail check waits on a server that stalls at every TOP; each
# median beside the 2 s target, with where the time went (signal to
# farewell queued, farewell and hide, unloaded to the end of the process).
#   bench/quit.sh [runs]     (default 5 of each; builds first)
# Runs on its own virtual display with a window manager (the harness of the
# end-to-end tests; display 95 unless taken).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
scripts/build.sh >/dev/null
set +e
root=$(pwd)
program=$root/build/bin/kestrova
display=95
shots=""
. tests/e2e/desktop.sh
export QT_LOGGING_RULES="kestrova.character.debug=true"
# Seconds since the machine started, on every line, as /proc/uptime counts.
export QT_MESSAGE_PATTERN="%{time boot} %{message}"

stall_pid=""
trap '[ -n "$stall_pid" ] && kill "$stall_pid" 2>/dev/null; cleanup' EXIT
python3 tests/mail/pop3_misbehaving.py stall > "$scratch/stall.out" &
stall_pid=$!
wait_for "$scratch/stall.out" "" 5
stall_port=$(head -1 "$scratch/stall.out")

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.0f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
at() { # at <log> <text>: the time since boot, in ms, of the first line holding text
  grep -F -m1 -- "$2" "$1" | awk '{ printf "%.0f", $1 * 1000 }'
}

one() { # one <kind>: a start, SIGTERM, and a line "total signal-to-farewell farewell teardown" in ms
  # (the parts to within the 10 ms of /proc/uptime)
  local settings="[Run]\nNumber=5\n[Rest]\nX=400\nY=300\n"
  [ "$1" = stalled ] && settings+="[Mail]\n1=127.0.0.1:$stall_port\n2=kess\n3=s3cret\n4=0\nSecurityFor=127.0.0.1:$stall_port\nPlainLogOn=1\n"
  start "$1" "$settings" || return 1
  if [ "$1" = stalled ]; then
    listen_and_type "check mail" || return 1
    wait_for "$log" "Think complete" 10
  fi
  sleep 1
  local asked ended farewell unloaded sent gone
  asked=$(date +%s%N)
  sent=$(awk '{ printf "%.0f", $1 * 1000 }' /proc/uptime)
  stop
  ended=$(date +%s%N)
  gone=$(( sent + (ended - asked) / 1000000 ))
  farewell=$(at "$log" 'Speak "Goodbye')
  unloaded=$(at "$log" 'Unloaded "default"')
  echo "$(( gone - sent )) $(( farewell - sent )) $(( unloaded - farewell )) $(( gone - unloaded ))"
}

printf '%-36s %10s %10s %10s %12s %12s\n' "median of $runs runs, ms" "total" "to quit" "farewell" "teardown" "target"
for kind in idle stalled; do
  : > "$scratch/$kind.txt"
  for _ in $(seq "$runs"); do one "$kind" >> "$scratch/$kind.txt"; done
  row=()
  for column in 1 2 3 4; do row+=("$(cut -d' ' -f$column "$scratch/$kind.txt" | median)"); done
  label="SIGTERM to exit, left alone"
  [ "$kind" = stalled ] && label="SIGTERM to exit, check stalled at TOP"
  printf '%-36s %10s %10s %10s %12s %12s\n' "$label" "${row[@]}" "< 2000"
done
