#!/usr/bin/env bash
# A logout: the session ends the program and its X server at the same
# moment, while the character is still speaking. The program ends with the
# status of a lost display (1), or 0 had its own quit come first, and never
# on a signal: no abort on a corrupted heap, no locked mutex destroyed, as
# when Qt's exit() ran the teardown under the voice still at work.
#   logout_under_xvfb.sh <program> <display number> [runs]
set -u
program=$1
display=${2:-87}
runs=${3:-4}
wm=none
. "$(dirname "$0")/desktop.sh"

clean_end() { # clean_end <log>: no sign of an abort or a broken heap
  ! grep -aiE "malloc|corrupt|double free|QMutex|Aborted|Segmentation" "$1"
}

start_pulse
for run in $(seq "$runs"); do
  if ! start "logout-$run"; then
    check "run $run: the character is shown" false
    continue
  fi
  sleep 1.5 # the greeting is being said
  kill -TERM "$app_pid" "$xvfb_pid"
  wait "$app_pid"; status=$?
  app_pid=""
  wait "$xvfb_pid" 2>/dev/null
  check "run $run: ends with status 1 or 0, not on a signal (status $status)" test "$status" -le 1
  check "run $run: nothing aborted or broke on the way out" clean_end "$log"
  start_xvfb -screen 0 1024x768x24 -fbdir "$scratch/fb"
done
finish "$scratch"/logout-*.log
