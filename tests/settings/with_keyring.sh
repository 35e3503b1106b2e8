#!/usr/bin/env bash
# Runs a test with a secret store of its own: a private session bus with
# GNOME Keyring's secret service on it, unlocked, in the test's own home;
# then once more with no session bus at all, where the test expects no
# store (KESTROVA_EXPECT_NO_SECRET_STORE); and on a bus where the test itself
# holds the secret service's name and never answers
# (KESTROVA_SILENT_SECRET_STORE).
#   with_keyring.sh <test executable> [arguments]
set -u
run_one=$(dirname "$0")/../run-one.sh
"$run_one" dbus-run-session -- bash -c '
  printf "kestrova" | gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>&1
  "$@"' keyring "$@" 2> >(grep -v "Failed to set fd limit" >&2) || exit 1
env -u DBUS_SESSION_BUS_ADDRESS KESTROVA_EXPECT_NO_SECRET_STORE=1 "$run_one" "$1" realSecretStore || exit 1
"$run_one" dbus-run-session -- env KESTROVA_SILENT_SECRET_STORE=1 "$1" silentSecretStore \
  2> >(grep -v "Failed to set fd limit" >&2)
