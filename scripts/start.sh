#!/usr/bin/env bash
# Installs what is missing, builds, and starts Kestrova on this desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Kestrova needs a graphical desktop, and none was found (DISPLAY is not set)." >&2
  exit 2
fi
scripts/deps.sh build run
scripts/build.sh
exec build/bin/kestrova "$@"
