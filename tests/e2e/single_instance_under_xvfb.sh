#!/usr/bin/env bash
# One program per user session, on a virtual X display with a window manager:
# a second start while the character is hidden shows it again, exits 0 within
# seconds, maps no window of its own and counts no run; a run killed outright
# leaves its socket behind, and the next start runs all the same; a running
# program that does not answer (stopped) gets a message and status 1 from the
# second start, which writes nothing; with no runtime folder, another user's
# lock and answering socket in the temporary folder it starts from change
# nothing.
#   single_instance_under_xvfb.sh <program> <display number>
# With KESTROVA_SHOTS=<folder> it also saves not-answering.png there.
set -u
program=$1
display=${2:-92}
shots=${KESTROVA_SHOTS:-}
. "$(dirname "$0")/desktop.sh"

home="$scratch/home-once"
ini="$home/.config/Kestrova/Kestrova.ini"
socket="$XDG_RUNTIME_DIR/kestrova-$(id -u).socket"
again() { # again <log>: a second start in the same home; sets again_rc, again_ms
  local t0=$(date +%s%N)
  HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
    timeout 30 "$program" > "$1" 2>&1
  again_rc=$?
  again_ms=$(( ($(date +%s%N) - t0) / 1000000 ))
}
run_number() { sed -n 's/^Number=//p' "$ini"; }
# The windows of this character's size on the screen, whoever maps them.
character_windows() {
  local w n=0
  for w in $(xdotool search --onlyvisible --class kestrova 2>/dev/null); do
    client "$w" && [ "$ww" = "$cw" ] && [ "$wh" = "$ch" ] && n=$((n + 1))
  done
  echo "$n"
}

check "the first start shows the character" start once '[Run]\nNumber=5\n'
first=$app_pid
read -r cw ch < <(grep -m1 -oE 'Shown at -?[0-9]+ -?[0-9]+ size [0-9]+ [0-9]+' "$log" | awk '{print $6, $7}')
check "the first start counted its run (6, was $(run_number))" test "$(run_number)" = 6
check "it listens on its socket" test -S "$socket"

# Hidden from its own popup menu: the last entries are Hide, the commands
# window and Options.
hides_before=$(grep -c "Hide complete" "$log")
xdotool mousemove "$cx" "$cy" click 3
sleep 0.5
xdotool key Up Up Up Return
wait_for_count() { # wait_for_count <file> <text> <count> <seconds>
  local i
  for i in $(seq $(( $4 * 10 ))); do [ "$(grep -c -- "$2" "$1")" -ge "$3" ] && return 0; sleep 0.1; done
  return 1
}
check "the character was hidden" wait_for_count "$log" "Hide complete" $((hides_before + 1)) 10
check "no character window is on the screen" test "$(character_windows)" = 0

shows_before=$(grep -c "Show complete" "$log")
again "$scratch/second.log"
check "the second start exits 0 (was $again_rc)" test "$again_rc" -eq 0
check "the second start ends within 5 s (took $again_ms ms)" test "$again_ms" -lt 5000
check "the running program was asked" wait_for "$log" "Another start handed over" 5
check "the character is shown again" wait_for_count "$log" "Show complete" $((shows_before + 1)) 10
check "one character window is on the screen" test "$(character_windows)" = 1
check "the second start counted no run ($(run_number))" test "$(run_number)" = 6
check "the first program still runs" running "$first"
check "the second start said nothing" test ! -s "$scratch/second.log"

# A run killed outright leaves its socket file; the next start runs.
kill -9 "$first"; wait "$first" 2>/dev/null; app_pid=""
check "the killed run left its socket behind" test -S "$socket"
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" "$program" > "$scratch/third.log" 2>&1 &
app_pid=$!
log="$scratch/third.log"
check "the start after the killed one shows its character" wait_for "$log" "Show complete" 20
check "and counts its run (7, was $(run_number))" test "$(run_number)" = 7

# A running program that answers nothing (stopped): the second start says so
# and ends with status 1, writing nothing.
kill -STOP "$app_pid"
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" "$program" > "$scratch/fourth.log" 2>&1 &
fourth=$!
box=$(window_named Kestrova 15 | head -n 1)
check "the second start shows a message" test -n "$box"
shot not-answering
[ -n "$box" ] && xdotool windowactivate --sync "$box" key Return 2>/dev/null
for _ in $(seq 100); do running "$fourth" || break; sleep 0.1; done
running "$fourth" && kill -9 "$fourth"
wait "$fourth"; rc=$?
check "which ends with status 1 (was $rc)" test "$rc" -eq 1
check "it names the process that does not answer" grep -q "Kestrova is already running (process $app_pid), but it does not answer." "$scratch/fourth.log"
check "it counted no run ($(run_number))" test "$(run_number)" = 7
kill -CONT "$app_pid"
stop; rc=$?
check "the program that was stopped still ends with status 0 (was $rc)" test "$rc" -eq 0

# No runtime folder of the user's own: Qt gives an empty runtime path when
# the one it would make in the temporary folder belongs to another user.
# Started from the temporary folder (shared, 1777), which holds another
# user's 0666 lock and a socket that answers "shown" to everyone: the start
# runs all the same, with its lock and socket in a folder of its own there.
if [ "$(id -u)" -eq 0 ]; then
  tmp="$scratch/tmp"; squat=$tmp; me="kestrova-$(id -u)"
  mkdir -p "$tmp/runtime-$(id -un)"
  chown nobody "$tmp/runtime-$(id -un)" && chmod 700 "$tmp/runtime-$(id -un)"
  chmod 1777 "$tmp"
  python3 - "$squat/$me" > "$scratch/squatter.log" 2>&1 <<'PY' &
import fcntl, os, socket, sys
base = sys.argv[1]
lock = open(base + ".lock", "w")
os.chmod(base + ".lock", 0o666)
os.chown(base + ".lock", 65534, 65534)
fcntl.flock(lock, fcntl.LOCK_EX)
server = socket.socket(socket.AF_UNIX)
server.bind(base + ".socket")
os.chmod(base + ".socket", 0o777)
server.listen(8)
while True:
    conn, _ = server.accept()
    conn.settimeout(2)
    try:
        conn.recv(64)
        conn.sendall(b"shown\n")
        print("asked", flush=True)
    except OSError:
        pass
    conn.close()
PY
  squatter=$!
  for _ in $(seq 50); do [ -S "$squat/$me.socket" ] && break; sleep 0.1; done
  home="$scratch/home-squat"; mkdir -p "$home/.config/Kestrova"
  printf '[Run]\nNumber=5\n' > "$home/.config/Kestrova/Kestrova.ini"
  log="$scratch/squat.log"
  whole=$(readlink -f "$program")
  (cd "$squat" && HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" TMPDIR="$tmp" \
    exec env -u XDG_RUNTIME_DIR "$whole") > "$log" 2>&1 &
  app_pid=$!
  check "with no runtime folder and a squatted lock the character is shown" wait_for "$log" "Show complete" 20
  check "the squatter was not asked" test ! -s "$scratch/squatter.log"
  check "the lock and the socket are in a folder of its own" test -S "$tmp/$me/$me.socket" -a -f "$tmp/$me/$me.lock"
  check "which only its owner may enter" test "$(stat -c '%a %u' "$tmp/$me")" = "700 $(id -u)"
  check "the squatter's lock is as it was" test "$(stat -c '%a %u' "$squat/$me.lock")" = "666 65534"
  stop; rc=$?
  check "that run ends with status 0 (was $rc)" test "$rc" -eq 0
  kill "$squatter"; wait "$squatter" 2>/dev/null
  for server in $(pgrep -f -- "$tmp/"); do kill -9 "$server" 2>/dev/null; done
else
  echo "NOTE: not root: the squatted runtime folder is not tried (it needs a folder of another user)"
fi

finish "$scratch/once.log" "$scratch/second.log" "$scratch/third.log" "$scratch/fourth.log" "$scratch/squat.log"
