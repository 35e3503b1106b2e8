# Sourced by the end-to-end scripts before they start Xvfb: the display
# number they were given, or the first one 100, 200, ... above it that no X
# server holds. Another suite may be running on the same machine (a chroot
# shares the abstract sockets, though not /tmp), so the listening socket is
# looked for as well as the lock file.
display_in_use() { # display_in_use <number>
  [ -e "/tmp/.X$1-lock" ] || [ -e "/tmp/.X11-unix/X$1" ] \
    || grep -q "@/tmp/.X11-unix/X$1\$" /proc/net/unix 2>/dev/null
}
free_display() { # free_display <number>: prints a display number to use
  local n=$1
  while display_in_use "$n" && [ "$n" -lt 60000 ]; do n=$((n + 100)); done
  echo "$n"
}
display=$(free_display "$display")

# start_xvfb <Xvfb arguments...>: starts Xvfb on $display and waits until it
# listens; sets xvfb_pid. Two suites can find the same number free at once:
# the server writes its number to the displayfd only once it listens, so the
# one that lost sees its server exit instead and moves on 100 further, and a
# test never talks to a server another suite started.
start_xvfb() {
  local attempt i ready
  ready=$(mktemp)
  for attempt in 1 2 3 4 5; do
    : > "$ready"
    Xvfb ":$display" "$@" -nolisten tcp -displayfd 3 3>"$ready" >/dev/null 2>&1 &
    xvfb_pid=$!
    for i in $(seq 200); do
      if [ -s "$ready" ]; then rm -f "$ready"; return 0; fi
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.05
    done
    if kill -0 "$xvfb_pid" 2>/dev/null; then
      echo "NOTE: Xvfb on :$display did not listen within 10 s"
      rm -f "$ready"
      return 1
    fi
    wait "$xvfb_pid" 2>/dev/null
    display=$(free_display $((display + 100)))
  done
  rm -f "$ready"
  echo "NOTE: no display could be started"
  return 1
}
