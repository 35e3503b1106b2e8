#!/usr/bin/env bash
# The mail check in the real program on a virtual X display, against a
# Dovecot of three messages on loopback: typing "check mail" makes the
# character think, then read out the three messages (over STLS, with the
# server's self-signed certificate trusted by its fingerprint), and log off.
# The secret store's libraries are not loaded before the password is first
# needed. Then "quit", and SIGTERM, while a server stalls at every TOP: the
# process ends within 2 s of either and the server sees no second log-on.
#   mail_under_xvfb.sh <program> <dovecot fixture> <display number>
# With KESTROVA_SHOTS=<folder> it also saves mail.png there.
set -u
display=${3:-79}
shots=${KESTROVA_SHOTS:-}
program=$1
. "$(dirname "$0")/desktop.sh"

"$2" > "$scratch/dovecot.out" 2>&1 &
fixture_pid=$!
stop_fixture() { [ -n "$fixture_pid" ] && kill -TERM "$fixture_pid" 2>/dev/null; wait "$fixture_pid" 2>/dev/null; fixture_pid=""; }
trap 'stop_fixture; cleanup' EXIT
# As long as the fixture allows itself: up to 30 s for its certificate, then
# 10 s for Dovecot's greeting (a loaded machine takes some of that).
check "the loopback Dovecot greets" wait_for "$scratch/dovecot.out" "pop3 " 45
port=$(grep -m1 -oE '^pop3 [0-9]+' "$scratch/dovecot.out" | cut -d' ' -f2)
cert=$(grep -m1 '^cert ' "$scratch/dovecot.out" | cut -d' ' -f2-)
# As the user trusts it on the mail page.
fingerprint=$(openssl x509 -in "$cert" -noout -fingerprint -sha256 | cut -d= -f2)

# Every category of the program logs, so that the check below sees all of it.
export QT_LOGGING_RULES="kestrova.*.debug=true"
check "the character is shown" start mail "[Run]\nNumber=5\n[Rest]\nX=400\nY=300\n[Mail]\n1=127.0.0.1:$port\n2=kess\n3=s3cret\n4=0\nSecurityFor=127.0.0.1:$port\nTrustedCertificate=$fingerprint\n"
mapped() { grep -qE "$1" "/proc/$app_pid/maps" 2>/dev/null; }
check "the secret store's libraries are not loaded at start" bash -c "! grep -qE 'libqt6keychain|libsecret|libkestrova_secrets' /proc/$app_pid/maps"
listen_and_type "check mail"
check "typing check mail raises Check Mail" wait_for "$log" 'Command "Check Mail" confidence 100' 5
check "the character thinks first" wait_for "$log" "Think \"I'll just check the mail\"" 5
check "mail is announced" wait_for "$log" "Speak \"You've got mail.\"" 15
check "the first message is read" wait_for "$log" 'Speak "Message 1 from Ann Example"' 30
check "the second, decoded" wait_for "$log" 'Speak "Subject Grüße"' 30
check "the third, by its comment name" wait_for "$log" 'Speak "Message 3 from Bob Jones"' 30
check "the end is said" wait_for "$log" 'Speak "End of messages."' 30
shot mail
order=$(grep -oE "(Think \"I'll just check the mail\"|Speak \"(You've got mail|Message [0-9]|End of messages))" "$log" | tr '\n' '|')
check "in order ($order)" test "$order" = "Think \"I'll just check the mail\"|Speak \"You've got mail|Speak \"Message 1|Speak \"Message 2|Speak \"Message 3|Speak \"End of messages|"

check "the password's check loaded the secret store module" mapped 'libkestrova_secrets\.so'
check "and QtKeychain with it" mapped 'libqt6keychain'

asked=$(date +%s%N)
stop; rc=$?
idle_quit=$(( ($(date +%s%N) - asked) / 1000000 ))
check "SIGTERM ends the run with status 0 within 2 s (was $rc, ${idle_quit} ms)" test "$rc" -eq 0 -a "$idle_quit" -lt 2000
stop_fixture
first_log=$log
# Logs never hold the password, nor the messages' headers beyond what is
# read out.
check "the log holds mail lines (the check was logged)" grep -q "kestrova.mail\|127.0.0.1:$port" "$first_log"
check "the log never holds the password" bash -c "! grep -q 's3cret' '$first_log'"
check "the log holds no header lines" bash -c "! grep -qiE '(^|[^a-z])(to|date|received|message-id|return-path): ' '$first_log'"

# A server that accepts and never answers: the log-on waits for its whole
# time-out on the worker thread while the character goes on; its thought
# balloon completes on its own time, long before the check gives up.
python3 -c 'import socket,sys,time
s=socket.socket(); s.bind(("127.0.0.1",0)); s.listen(5)
print("port", s.getsockname()[1], flush=True); time.sleep(60)' > "$scratch/silent.out" &
silent_pid=$!
check "the silent listener listens" wait_for "$scratch/silent.out" "port " 5
silent_port=$(cut -d' ' -f2 "$scratch/silent.out")
check "the character is shown again" start silent "[Run]\nNumber=5\n[Rest]\nX=400\nY=300\n[Mail]\n1=127.0.0.1:$silent_port\n2=kess\n3=s3cret\n4=0\n"
listen_and_type "check mail"
check "the check begins with the thought" wait_for "$log" "Think \"I'll just check the mail\"" 5
begun=$(date +%s%N)
check "the thought completes while the server is silent" wait_for "$log" "Think complete" 8
took=$(( ($(date +%s%N) - begun) / 1000000 ))
check "within 8 s of the thought, the log-on not yet over (${took} ms)" \
  bash -c "! grep -q 'log-on to pop3://127.0.0.1:$silent_port/ failed' '$log'"
check "the log-on gives up within its time-out" wait_for "$log" "log-on to pop3://127.0.0.1:$silent_port/ failed" 15
check "the character says why" wait_for "$log" 'Speak "Your mail server took too long to answer' 5
check "and announces no mail" bash -c "! grep -q \"Speak \\\"You've got mail\" '$log'"
stop; rc=$?
check "SIGTERM ends that run with status 0 (was $rc)" test "$rc" -eq 0
kill "$silent_pid" 2>/dev/null
silent_log=$log

# A server that is down: nothing listens at its port. The character says so
# instead of leaving the thought without an end.
down_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
check "the character is shown for a server that is down" start down "[Run]\nNumber=5\n[Rest]\nX=400\nY=300\n[Mail]\n1=127.0.0.1:$down_port\n2=kess\n3=s3cret\n4=0\n"
listen_and_type "check mail"
check "the check against it begins with the thought" wait_for "$log" "Think \"I'll just check the mail\"" 5
check "and the character says the server was not reached" wait_for "$log" "Speak \"I couldn't reach your mail server" 15
stop; rc=$?
check "SIGTERM ends that run with status 0 (was $rc)" test "$rc" -eq 0
down_log=$log

# A server that stalls at every TOP, plain log-on allowed for it: "quit"
# typed, or SIGTERM, while the check waits there ends the process within 2 s
# (timed from here, from the Enter key or the signal to the process's end),
# and no log-on follows.
stall_logs=()
for how in typed signal; do
  python3 "$(dirname "$0")/../mail/pop3_misbehaving.py" stall --record "$scratch/stall-$how.txt" > "$scratch/stall-$how.out" &
  stall_pid=$!
  # Its first line is its port.
  check "the stalling server listens ($how)" wait_for "$scratch/stall-$how.out" "" 5
  stall_port=$(head -1 "$scratch/stall-$how.out")
  check "the character is shown for the stalled check ($how)" start "stall-$how" "[Run]\nNumber=5\n[Rest]\nX=400\nY=300\n[Mail]\n1=127.0.0.1:$stall_port\n2=kess\n3=s3cret\n4=0\nSecurityFor=127.0.0.1:$stall_port\nPlainLogOn=1\n"
  listen_and_type "check mail"
  check "the check waits at TOP ($how)" wait_for "$scratch/stall-$how.txt" "TOP 1" 15
  if [ "$how" = typed ]; then
    listen_and_type "quit"
    asked=$(date +%s%N)
    ended; rc=$?
    quit_pattern='Command "Quit"'
  else
    sleep 0.5
    asked=$(date +%s%N)
    stop; rc=$?
    quit_pattern='quitting on signal'
  fi
  took=$(( ($(date +%s%N) - asked) / 1000000 ))
  check "the $how quit ends the process within 2 s with status 0 (${took} ms, status $rc)" \
    test "$took" -lt 2000 -a "$rc" -eq 0
  check "the check was called off at the $how quit" bash -c "grep -E '$quit_pattern|reading message 1 failed|Hide complete' '$log' | tr '\n' '|' | grep -qE '${quit_pattern%% *}.*reading message 1 failed.*Hide complete'"
  check "the server saw one log-on only ($how)" test "$(grep -c ': PASS' "$scratch/stall-$how.txt")" -eq 1
  check "and no connection after it ($how)" bash -c "! grep -q 'CONNECT 2' '$scratch/stall-$how.txt'"
  check "nothing was read out after the $how quit" bash -c "! grep -q 'Speak \"End of messages' '$log'"
  kill "$stall_pid" 2>/dev/null
  stall_logs+=("$log")
done
finish "$first_log" "$silent_log" "$down_log" "${stall_logs[@]}"
