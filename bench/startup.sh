#!/usr/bin/env bash
# Start-up benchmark: the median time from exec to the greeting being queued,
# and the peak resident memory one second later, of Kestrova and of the
# minimal Qt Widgets program built by the same project, side by side.
#   bench/startup.sh [runs]       (default 11 runs each; builds first)
# Runs on a display of its own, with no window manager (tests/e2e/desktop.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-11}
scripts/build.sh >/dev/null

display=93
screen_size=1280x800
wm=none
. tests/e2e/desktop.sh
# The program is measured as it starts by default, without debug output.
unset QT_LOGGING_RULES

# One measured start: prints "<milliseconds> <peak kB>".
measure() {
  local home="$scratch/home" start line ms kb
  rm -rf "$home"; mkdir -p "$home/.config/Kestrova"
  # An ordinary (not first) start: the run counter is past one.
  printf '[Run]\nNumber=5\n' > "$home/.config/Kestrova/Kestrova.ini"
  start=$(date +%s%N)
  line=$(HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
         KESTROVA_BENCH_STARTUP=1000 "$@" 2>&1 >/dev/null | grep '^bench:' | tr '\n' ' ')
  ms=$(awk -v l="$line" -v s="$start" 'BEGIN { n = split(l, w, " "); for (i = 1; i <= n; i++) if (w[i] == "marked-ns") printf "%.1f", (w[i+1] - s) / 1e6 }')
  kb=$(awk -v l="$line" 'BEGIN { n = split(l, w, " "); for (i = 1; i <= n; i++) if (w[i] == "peak-rss-kb") print w[i+1] }')
  echo "$ms $kb"
}

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.1f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

for program in kestrova bench_minimal_qt; do
  : > "$scratch/$program"
  measure "build/bin/$program" >/dev/null   # warm the file cache
  for _ in $(seq "$runs"); do measure "build/bin/$program" >> "$scratch/$program"; done
done

k_ms=$(cut -d' ' -f1 "$scratch/kestrova" | median); k_kb=$(cut -d' ' -f2 "$scratch/kestrova" | median)
m_ms=$(cut -d' ' -f1 "$scratch/bench_minimal_qt" | median); m_kb=$(cut -d' ' -f2 "$scratch/bench_minimal_qt" | median)
printf '%-28s %12s %12s %8s\n' "median of $runs runs" "Kestrova" "minimal Qt" "ratio"
printf '%-28s %12s %12s %8s\n' "exec to greeting queued, ms" "$k_ms" "$m_ms" "$(awk -v a="$k_ms" -v b="$m_ms" 'BEGIN { printf "%.2f", a / b }')"
printf '%-28s %12s %12s %8s\n' "peak RSS after 1 s, MB" "$(awk -v a="$k_kb" 'BEGIN { printf "%.1f", a / 1024 }')" \
  "$(awk -v a="$m_kb" 'BEGIN { printf "%.1f", a / 1024 }')" "$(awk -v a="$k_kb" -v b="$m_kb" 'BEGIN { printf "%.2f", a / b }')"
