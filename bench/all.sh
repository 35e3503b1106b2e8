#!/usr/bin/env bash
# Every figure the project keeps, in one run, each beside its reference and
# its target: start-up time and memory against the minimal Qt program, the
# processor time left alone and while animating, the mail check against
# Python's poplib on the same Dovecot, and the memory the first spoken
# command adds (heard through a PulseAudio source), and the time from SIGTERM
# to the end of the process, left alone and with a mail check stalled.
#   bench/all.sh [runs] [seconds] [display]
#                                   (start-up runs, default 11; seconds left
#                                    alone, default 60; the display number of
#                                    the spoken command's desktop, default 95;
#                                    builds first)
# With DISPLAY set, the start-up and the stretch left alone run on that
# display instead of one of their own.
# The figures come from bench/startup.sh, bench/idle_cpu.sh,
# bench_mail_check, bench/voice_memory.sh and bench/quit.sh, whose own outputs are kept in a folder it names.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-11}
seconds=${2:-60}
display=${3:-95}
scripts/build.sh >/dev/null
out=$(mktemp -d /tmp/kestrova-bench.XXXXXX)

echo "Start-up, $runs runs each ..." >&2
bench/startup.sh "$runs" > "$out/startup.txt"
echo "Left alone and animating, $seconds s each ..." >&2
bench/idle_cpu.sh "$seconds" > "$out/idle.txt"
echo "Mail check of 1,000 messages ..." >&2
build/bin/bench_mail_check 1000 > "$out/mail.txt"
echo "Memory around the first spoken command ..." >&2
bench/voice_memory.sh "$display" > "$out/voice_memory.txt" 2>&1 || true
echo "Quitting, 5 runs each ..." >&2
bench/quit.sh 5 > "$out/quit.txt" 2>&1 || true

number() { # number <file> <line pattern> <n>: the n-th number on the line that matches
  awk -v pat="$2" -v n="$3" '$0 ~ pat { k = 0; for (i = 1; i <= NF; i++) { f = $i; sub(/%$/, "", f)
      if (f ~ /^[0-9]+(\.[0-9]+)?$/ && ++k == n) v = f } } END { print v }' "$1"
}
# "exec to greeting queued, ms   229.0   38.5   5.95"
startup_ms=$(number "$out/startup.txt" '^exec to greeting' 1)
minimal_ms=$(number "$out/startup.txt" '^exec to greeting' 2)
# "peak RSS after 1 s, MB   117.6   27.5   4.25" (the 1 of "1 s" counts)
startup_mb=$(number "$out/startup.txt" '^peak RSS' 2)
minimal_mb=$(number "$out/startup.txt" '^peak RSS' 3)
# "Kestrova left alone 60 s (12 idle anims)   0.000%   0.1%"
alone=$(number "$out/idle.txt" '^Kestrova left alone' 2)
# "animating 20 s (9 animations)   4.512%   3.0%   600"
animating=$(number "$out/idle.txt" '^animating' 2)
# "  kestrova (STLS, batched): 0.162 s (fastest 0.150)"
mail=$(number "$out/mail.txt" 'kestrova \(' 1)
poplib=$(number "$out/mail.txt" 'python poplib' 1)
# "resident at rest   60.8 MB", "resident after the first spoken command   78.2 MB"
rest_mb=$(number "$out/voice_memory.txt" '^resident at rest' 1)
spoken_mb=$(number "$out/voice_memory.txt" '^resident after the first spoken' 1)
# "SIGTERM to exit, left alone   1607   14   1500   85   < 2000"
quit_idle=$(number "$out/quit.txt" '^SIGTERM to exit, left alone' 1)
quit_stalled=$(number "$out/quit.txt" '^SIGTERM to exit, check stalled' 1)

row() { # row <figure> <value> <reference> <ratio or -> <target> <met?>
  printf '%-44s %12s %18s %8s %12s  %s\n' "$@"
}
verdict() { # verdict <awk condition on v>: met or NOT met
  awk -v v="$1" "BEGIN { exit !($2) }" && echo met || echo "NOT met"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

echo
row "figure (median)" "Kestrova" "reference" "ratio" "target" ""
r=$(ratio "$startup_ms" "$minimal_ms")
row "exec -> greeting queued, ms" "$startup_ms" "$minimal_ms (Qt)" "$r" "ratio <= 2" "$(verdict "$r" 'v <= 2')"
row "peak RSS one second after start, MB" "$startup_mb" "$minimal_mb (Qt)" "$(ratio "$startup_mb" "$minimal_mb")" "<= 60 MB" \
  "$(verdict "$startup_mb" 'v <= 60')"
row "CPU while animating, % of a core" "$animating" "-" "-" "<= 3 %" "$(verdict "$animating" 'v <= 3')"
row "CPU left alone, % of a core" "$alone" "-" "-" "<= 0.1 %" "$(verdict "$alone" 'v <= 0.1')"
r=$(ratio "$mail" "$poplib")
row "1,000-message mail check, s" "$mail" "$poplib (poplib)" "$r" "ratio <= 1" "$(verdict "$r" 'v <= 1')"
if [ -n "$spoken_mb" ] && [ -n "$rest_mb" ]; then
  growth=$(awk -v a="$spoken_mb" -v r="$rest_mb" 'BEGIN { printf "%.1f", a - r }')
  row "resident after the first spoken command, MB" "$spoken_mb" "$rest_mb (rest)" "+$growth" "rest + 30 MB" \
    "$(verdict "$growth" 'v <= 30')"
else
  row "resident after the first spoken command, MB" "-" "-" "-" "rest + 30 MB" "not measured (see voice_memory.txt)"
fi
for q in "left alone:$quit_idle" "mail check stalled:$quit_stalled"; do
  v=${q#*:}
  if [ -n "$v" ]; then
    row "SIGTERM to exit, ${q%%:*}, ms" "$v" "-" "-" "< 2000" "$(verdict "$v" 'v < 2000')"
  else
    row "SIGTERM to exit, ${q%%:*}, ms" "-" "-" "-" "< 2000" "not measured (see quit.txt)"
  fi
done
echo
echo "The tools' own outputs: $out"
