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
