#!/usr/bin/env bash
# Runs one test executable the way run-one.sh does, but on a virtual X
# display of its own (the xcb platform, not offscreen) and a private
# session bus: for what Qt does only on a real display, the desktop's
# status area among it.
# under_xvfb.sh <display number> <test executable> [arguments...]
set -u
display=$1
shift
here=$(dirname "${BASH_SOURCE[0]}")
. "$here/../e2e/free_display.sh"
start_xvfb -screen 0 1024x768x24 || exit 1
trap 'kill "$xvfb_pid" 2>/dev/null; wait 2>/dev/null' EXIT
"$here/../run-one.sh" dbus-run-session -- env DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$@"
