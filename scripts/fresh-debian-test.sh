#!/usr/bin/env bash
# Proves the README's promise: on a minimal Debian 12 with nothing but git and
# ca-certificates, a fresh clone's test command installs what it needs,
# builds and passes.
#
#   scripts/fresh-debian-test.sh [folder]
#
# Makes the system in the folder (a new one under /var/tmp unless named) with
# `debootstrap --variant=minbase bookworm` from this machine's own Debian
# sources, clones this checkout's HEAD into it, runs scripts/test.sh there as
# root in a chroot, prints how long each step took and the suite's closing
# lines, and exits with the test command's status. The system is removed
# afterwards unless KEEP=1 is set. It needs root and takes about as long as
# the suite itself on a machine without the packages, so it is not part of
# scripts/test.sh; run it before a release.
set -euo pipefail
cd "$(dirname "$0")/.."
source_repo=$PWD

[ "$(id -u)" -eq 0 ] || { echo "fresh-debian-test.sh: this needs root (debootstrap and chroot)" >&2; exit 2; }
git diff --quiet HEAD -- 2>/dev/null \
  || echo "fresh-debian-test.sh: note: uncommitted changes are not tested, only HEAD ($(git rev-parse --short HEAD))"
if ! command -v debootstrap >/dev/null; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
fi

# This machine's Debian mirror: the first deb.debian.org-style URI of a
# "bookworm" suite in its sources, one-line or deb822 format.
mirror=$(
  { cat /etc/apt/sources.list 2>/dev/null; cat /etc/apt/sources.list.d/*.list 2>/dev/null; } \
    | awk '$1 == "deb" && $0 ~ / bookworm( |$)/ { for (i = 2; i <= NF; i++) if ($i ~ /^https?:/) { print $i; exit } }' \
    || true
)
if [ -z "$mirror" ]; then
  mirror=$(awk '/^URIs:/ { uri = $2 } /^Suites:/ && / bookworm( |$)/ && uri != "" { print uri; exit }' \
             /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
fi
mirror=${mirror:-http://deb.debian.org/debian}

made_root=""
if [ -n "${1:-}" ]; then root=$(realpath -m "$1"); else root=$(mktemp -d /var/tmp/kestrova-fresh.XXXXXX); made_root=1; fi
mkdir -p "$root"
[ -z "$(ls -A "$root")" ] || { echo "fresh-debian-test.sh: $root is not empty" >&2; exit 2; }
# It becomes the system's "/": the services the tests start (Dovecot's own
# users among them) must get in.
chmod 755 "$root"
log="$root.log"
mounted=()
cleanup() {
  local m
  local i unmounted=1
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" || unmounted=""; done
  # Removed only when nothing of the host is mounted inside any more.
  if [ "${KEEP:-0}" != 1 ] && [ -n "$made_root" ] && [ -n "$unmounted" ] && ! grep -qF " $root/" /proc/mounts; then
    rm -rf --one-file-system "$root"
  fi
}
trap cleanup EXIT
bind() { # bind <host path> <path in the system>
  mkdir -p "$root$2"
  mount --bind "$1" "$root$2"
  mounted+=("$root$2")
}
in_root() { # in_root <command...>: as root in the new system, with a clean environment
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    LANG=C.UTF-8 TERM=dumb DEBIAN_FRONTEND=noninteractive "$@"
}
started=$(date +%s)
step_start=$started
step() { # step <what>: prints how long the last step took and names the next
  local now; now=$(date +%s)
  [ -n "${current:-}" ] && printf '  %s: %d s\n' "$current" $((now - step_start))
  current=$1; step_start=$now
}

echo "A minimal Debian 12 in $root from $mirror; the whole output goes to $log"
step "debootstrap --variant=minbase bookworm"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$log" 2>&1
# The same Debian sources as this machine, security updates included.
printf 'deb %s bookworm main\ndeb %s bookworm-updates main\n' "$mirror" "$mirror" >"$root/etc/apt/sources.list"
security=$(grep -rhoE 'https?://[^ ]*debian-security[^ ]*' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null | head -n 1 || true)
[ -n "$security" ] && echo "deb $security bookworm-security main" >>"$root/etc/apt/sources.list"
cp /etc/resolv.conf "$root/etc/resolv.conf"
bind /dev /dev
bind /dev/pts /dev/pts
mount -t proc proc "$root/proc"; mounted+=("$root/proc")
mount -t sysfs sysfs "$root/sys"; mounted+=("$root/sys")
mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"; mounted+=("$root/dev/shm")

step "git and ca-certificates, the only packages a newcomer brings"
in_root apt-get update -qq >>"$log" 2>&1
in_root apt-get install -y -qq --no-install-recommends git ca-certificates >>"$log" 2>&1

step "a fresh clone"
# The checkout's history goes in as a bare copy; the clone is the new
# system's own git at work.
git clone -q --bare --no-hardlinks "$source_repo" "$root/var/tmp/source.git"
in_root git clone -q /var/tmp/source.git /root/kestrova >>"$log" 2>&1

step "scripts/test.sh (the README's test command)"
status=0
# In a process namespace of its own, with its own /proc, so that whatever the
# suite leaves running (mail and speech servers) ends with it.
unshare --pid --fork --kill-child --mount --mount-proc="$root/proc" \
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  LANG=C.UTF-8 TERM=dumb CI=true bash -c 'cd /root/kestrova && scripts/test.sh' >>"$log" 2>&1 || status=$?
step "done"
# What the suites said at their ends.
echo "The test command's closing lines:"
grep -E '^[0-9]+% tests passed|tests failed out of|^[[:space:]]*[0-9]+ - .*\((Failed|Timeout|Not Run)|passed, [0-9]+ failed|Total Test time' "$log" | sed 's/^/  /'
echo "scripts/test.sh exited $status after $(( $(date +%s) - started )) s in all (log: $log)"
exit "$status"
