#!/usr/bin/env bash
# Every sentence of a start and a quit is heard. A PulseAudio server of this
# run's own with a null sink, "speakers", as the default output; its monitor
# is recorded from before the program starts to after it ends. The log's
# lines carry the time since boot, so each Speak's stretch of the recording
# is known: the greeting, the time sentence and the farewell must each have
# reached the sink as sound, and each must have completed as spoken (not by
# its reading time).
# Then a run with no sound server at all: the same sentences complete by
# their reading time, shown in the balloon.
#   spoken_under_xvfb.sh <program> <display number>
set -u
program=$1
display=${2:-93}
shots=${KESTROVA_SHOTS:-}
. "$(dirname "$0")/desktop.sh"
export QT_MESSAGE_PATTERN="%{time boot} %{message}"

rec_pid=""
stop_recording() { # what records the sound server, then the server
  [ -n "$rec_pid" ] && kill "$rec_pid" 2>/dev/null; wait "$rec_pid" 2>/dev/null; rec_pid=""
  stop_pulse
}
trap 'stop_recording; cleanup' EXIT

uptime_now() { cut -d' ' -f1 /proc/uptime; }

# The Speak requests of a log, one a line: id, start (s since boot), end,
# how it completed.
speaks() { # speaks <log>
  awk '
    / #[0-9]+ Speak "/ { id = $2; sub(/^#/, "", id); start[id] = $1; text[id] = $0; sub(/^.* Speak /, "", text[id]) }
    / #[0-9]+ Speak complete after / { id = $2; sub(/^#/, "", id)
      how = $0; sub(/^.* ms ?/, "", how); gsub(/[()]/, "", how)
      if (id in start) printf "%s\t%s\t%s\t%s\t%s\n", id, start[id], $1, how, text[id] }' "$1"
}

# The loudest 100 ms of the recording between two times since boot, as an
# RMS amplitude 0..1: speech reaches 0.02 and more, the silent sink 0.
loudest() { # loudest <from> <to>
  local from to
  from=$(awk -v a="$1" -v t0="$rec_t0" 'BEGIN { x = a - t0; if (x < 0) x = 0; printf "%.3f", x }')
  to=$(awk -v a="$2" -v t0="$rec_t0" 'BEGIN { printf "%.3f", a - t0 }')
  sox -t raw -r 16000 -e signed -b 16 -c 1 "$scratch/sink.raw" -t raw - trim "$from" "=$to" 2>/dev/null |
    python3 -c '
import sys, array, math
a = array.array("h", sys.stdin.buffer.read())
best = 0.0
for i in range(0, max(0, len(a) - 1600) + 1, 800):
    w = a[i:i + 1600]
    if w:
        best = max(best, math.sqrt(sum(x * x for x in w) / len(w)) / 32768)
print("%.4f" % best)'
}

# 1. With sound: a null sink, recorded.
start_pulse
check "the sound server runs with the null sink as its default" bash -c "pactl info | grep -q 'Default Sink: speakers$'"
parec --device=speakers.monitor --format=s16le --rate=16000 --channels=1 --latency-msec=20 \
  --raw "$scratch/sink.raw" &
rec_pid=$!
# The recording's start in time since boot: the stream may take a while to
# begin, so it is reckoned back from the first samples written.
for _ in $(seq 100); do [ "$(stat -c %s "$scratch/sink.raw" 2>/dev/null || echo 0)" -ge 3200 ] && break; sleep 0.05; done
rec_t0=$(awk -v now="$(uptime_now)" -v bytes="$(stat -c %s "$scratch/sink.raw")" 'BEGIN { printf "%.3f", now - bytes / 32000 }')
sleep 0.3

check "the character is shown" start sound "[Run]\nNumber=5\n[Rest]\nX=400\nY=300\n[User]\nName=Ada\n"
check "the greeting is spoken to its end" wait_for "$log" "Speak complete" 20
# The time sentence follows the greeting.
for _ in $(seq 200); do [ "$(grep -c 'Speak complete' "$log")" -ge 2 ] && break; sleep 0.1; done
check "two sentences at the start" test "$(grep -c 'Speak complete' "$log")" -ge 2
sleep 0.5
listen_and_type quit
check "the farewell is queued" wait_for "$log" 'Speak "Goodbye' 10
ended; rc=$?
check "quit ends the program with status 0 (was $rc)" test "$rc" -eq 0
sleep 0.3
sound_log=$log

sentences=$(speaks "$sound_log")
echo "$sentences"
echo "recorded $(( $(stat -c %s "$scratch/sink.raw") / 32 )) ms of the sink in $(awk -v a="$(uptime_now)" -v b="$rec_t0" 'BEGIN { printf "%d", (a - b) * 1000 }') ms"
check "three sentences were said (greeting, time, farewell)" test "$(grep -c . <<< "$sentences")" -eq 3
check "the first is the greeting" bash -c "sed -n 1p <<< '$sentences' | grep -q 'Good [A-Za-z]* Ada'"
check "the second says the time" bash -c "sed -n 2p <<< '$sentences' | grep -q 'The time is'"
check "the last is the farewell" bash -c "sed -n 3p <<< '$sentences' | grep -q 'Goodbye Ada'"
while IFS=$'\t' read -r id from to how text; do
  [ -n "$id" ] || continue
  check "#$id completed as spoken, not by its reading time ($how): $text" test "$how" = spoken
  level=$(loudest "$from" "$to")
  check "#$id reached the speakers as sound (loudest $level): $text" \
    awk -v l="$level" 'BEGIN { exit !(l >= 0.02) }'
done <<< "$sentences"
# Between the sentences the sink is quiet: the sound belongs to them.
check "nothing sounds before the first sentence" \
  awk -v l="$(loudest "$rec_t0" "$(sed -n 1p <<< "$sentences" | cut -f2)")" 'BEGIN { exit !(l < 0.005) }'
stop_recording

# 2. No sound server: each sentence completes by its reading time (the
# balloon shows the words).
check "the character is shown (no sound server)" start silent "[Run]\nNumber=5\n[Rest]\nX=400\nY=300\n[User]\nName=Ada\n"
for _ in $(seq 300); do [ "$(grep -c 'Speak complete' "$log")" -ge 2 ] && break; sleep 0.1; done
listen_and_type quit
ended; rc=$?
check "quit ends the program with status 0 (was $rc)" test "$rc" -eq 0
silent_log=$log
sentences=$(speaks "$silent_log")
echo "$sentences"
check "three sentences without sound" test "$(grep -c . <<< "$sentences")" -eq 3
check "each completed by its reading time" test "$(cut -f4 <<< "$sentences" | grep -c '^reading time$')" -eq 3
check "the voice said it had nowhere to play" grep -q "No sound output for the flite voice" "$silent_log"

# 3. A sound server left to its defaults, whose null sink nobody records:
# the sink runs 2 s ahead of its clock and tells of a stream's end seconds
# late, and may take a new stream's first samples only after a while. Every
# sentence still completes as spoken, after the sound server took all of it.
start_pulse - kes
# What the sound server says of its streams: each sentence a new one.
pactl subscribe > "$scratch/pulse-events" 2>&1 &
rec_pid=$!
check "the character is shown (unrecorded sink)" start plain "[Run]\nNumber=5\n[Rest]\nX=400\nY=300\n[User]\nName=Ada\n"
for _ in $(seq 300); do [ "$(grep -c 'Speak complete' "$log")" -ge 2 ] && break; sleep 0.1; done
listen_and_type quit
ended; rc=$?
check "quit ends the program with status 0 (was $rc)" test "$rc" -eq 0
plain_log=$log
sentences=$(speaks "$plain_log")
echo "$sentences"
check "three sentences on the unrecorded sink" test "$(grep -c . <<< "$sentences")" -eq 3
check "the greeting and the time completed as spoken" test "$(head -n 2 <<< "$sentences" | cut -f4 | grep -c '^spoken$')" -eq 2
# The farewell has the 1.5 s every quit has; the sound server may start
# its sound late enough to be cut at that.
check "the farewell completed as spoken or at the quit's deadline" \
  bash -c "sed -n 3p <<< '$sentences' | cut -f4 | grep -qE '^(spoken|stopped)$'"
check "the sound server took every byte of the greeting and the time" \
  test "$(grep -cE 'The sound server took ([0-9]+) of \1 bytes' "$plain_log")" -ge 2
check "the sound server had a stream for each sentence" \
  test "$(grep -c "Event 'new' on sink-input" "$scratch/pulse-events")" -ge 3
stop_recording

finish "$sound_log" "$silent_log" "$plain_log"
