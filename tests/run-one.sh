#!/usr/bin/env bash
# Runs one test executable the way every test runs: offscreen, in a home of
# its own that is removed afterwards, in a UTF-8 locale.
set -u
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/config" "$scratch/data" "$scratch/runtime"
chmod 700 "$scratch/runtime"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data"
export XDG_RUNTIME_DIR="$scratch/runtime" LANG=C.UTF-8 LC_ALL=C.UTF-8
export QT_QPA_PLATFORM=offscreen
# Nothing of the machine's own desktop: no display (a secret store started
# for a test would put its prompts there), no session bus (a test that needs
# one runs under dbus-run-session, which sets its own) and no sound server.
# An address that leads nowhere, rather than none, keeps libdbus from
# launching a bus of the desktop's on its own (dbus-launch, where dbus-x11 is
# installed).
unset DISPLAY WAYLAND_DISPLAY PULSE_SERVER
export DBUS_SESSION_BUS_ADDRESS="unix:path=$scratch/no-session-bus"
"$@"
