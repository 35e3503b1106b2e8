#!/usr/bin/env bash
# Failures and mail reach a user who hid the character: on a session bus of
# the test's own, with a notification server of its own on it, "check mail"
# is typed against a server that accepts and never answers, and the
# character is hidden from its popup menu while the check waits. When the
# log-on gives up, the character says why and the notification server
# receives the same words.
#   notify_under_xvfb.sh <program> <notification fixture> <display number>
# With KESTROVA_SHOTS=<folder> it also saves notify.png there.
set -u
display=${3:-86}
shots=${KESTROVA_SHOTS:-}
program=$1
. "$(dirname "$0")/desktop.sh"

bus_pid=""
fixture_pid=""
stop_peers() {
  local p
  for p in $fixture_pid $bus_pid $silent_pid; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
}
silent_pid=""
trap 'stop_peers; cleanup' EXIT
# A bus that starts no services of the machine's (no secret store would
# come up with its prompt on this display): only the test's peers are on it.
cat > "$scratch/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$scratch</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
dbus-daemon --config-file="$scratch/bus.conf" --nofork --print-address=3 3>"$scratch/bus.address" >/dev/null 2>&1 &
bus_pid=$!
check "the test's own session bus starts" wait_for "$scratch/bus.address" "unix:" 5
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$scratch/bus.address")
"$2" > "$scratch/notifications.out" 2>&1 &
fixture_pid=$!
check "the notification server is on it" wait_for "$scratch/notifications.out" "READY" 5

python3 -c 'import socket,sys,time
s=socket.socket(); s.bind(("127.0.0.1",0)); s.listen(5)
print("port", s.getsockname()[1], flush=True); time.sleep(60)' > "$scratch/silent.out" &
silent_pid=$!
check "the silent listener listens" wait_for "$scratch/silent.out" "port " 5
silent_port=$(cut -d' ' -f2 "$scratch/silent.out")

export QT_LOGGING_RULES="kestrova.*.debug=true"
check "the character is shown" start notify "[Run]\nNumber=5\n[Rest]\nX=400\nY=300\n[Mail]\n1=127.0.0.1:$silent_port\n2=kess\n3=s3cret\n4=0\n"
listen_and_type "check mail"
check "the check begins" wait_for "$log" "Think \"I'll just check the mail\"" 5
check "its thought balloon is done" wait_for "$log" "Think complete" 8
# Hidden from its own popup menu while the server keeps the check waiting.
xdotool mousemove "$cx" "$cy" click 3
sleep 0.5
shot menu
xdotool key Up Up Up Return
check "the character is hidden" wait_for "$log" "Hide complete" 10
check "the log-on gives up" wait_for "$log" "log-on to pop3://127.0.0.1:$silent_port/ failed" 20
check "the character says why" wait_for "$log" 'Speak "Your mail server took too long to answer' 5
check "the desktop shows the same words" \
  wait_for "$scratch/notifications.out" "NOTIFY Mail not checked | Your mail server took too long to answer." 5
check "and no more than once" test "$(grep -c '^NOTIFY' "$scratch/notifications.out")" -eq 1
shot notify
stop; rc=$?
check "SIGTERM ends the run with status 0 (was $rc)" test "$rc" -eq 0
finish "$log" "$scratch/notifications.out"
