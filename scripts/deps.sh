#!/usr/bin/env bash
# Installs the Debian packages Kestrova needs that are not there yet.
#   scripts/deps.sh build   compiler, CMake, Qt development files and translation tools,
#                           LibreOffice's SDK,
#                           the help compiler (chmcmd, in fp-utils)
#   scripts/deps.sh run     what the program needs at run time (voices, the
#                           word processor it drives: LibreOffice Writer)
#   scripts/deps.sh test    what the tests need (a virtual X server and tools; file and
#                           dpkg-dev for CPack's Debian packages in the package test;
#                           dbus-x11, so the suite runs beside what a desktop has)
#   scripts/deps.sh bench   what the speech benchmarks add (voices of other engines,
#                           and recorded human speech from alsa-utils)
# Several groups may be named at once. Nothing is installed that is there.
set -euo pipefail

build=(cmake ninja-build g++ pkg-config qt6-base-dev libx11-dev libxcb1-dev qt6-svg-dev qt6-speech-dev
       qt6-declarative-dev libxkbcommon-dev libcurl4-openssl-dev libreoffice-dev
       qt6-multimedia-dev libpocketsphinx-dev libsphinxbase-dev flite1-dev fp-utils
       qtkeychain-qt6-dev libssl-dev qt6-tools-dev qt6-l10n-tools)
run=(qt6-qpa-plugins libqt6svg6 qt6-speech-speechd-plugin qt6-speech-flite-plugin
     speech-dispatcher speech-dispatcher-espeak-ng fonts-dejavu-core libreoffice-writer
     pocketsphinx-en-us libqt6multimedia6 pulseaudio)
test=(file dpkg-dev desktop-file-utils appstream xvfb xauth x11-utils x11-xserver-utils xdotool wmctrl openbox xcompmgr imagemagick procps dovecot-core dovecot-pop3d dovecot-imapd openssl python3
      espeak-ng flite sox pulseaudio-utils clang libclang-rt-14-dev gnome-keyring libsecret-tools dbus-daemon
      dbus-x11 faketime sphinxtrain)
test+=(xterm xfwm4 metacity i3-wm) # the end-to-end test on other window managers than openbox
test+=(kwin-wayland kde-spectacle xwayland libwayland-dev gcc) # the one on KWin under Wayland (its input tool is built there)
test+=(sway grim x11-xserver-utils libxkbcommon-dev) # the one on sway (headless; its input tool is built there too)
bench=(festival festvox-kdlpc16k espeak alsa-utils)

wanted=()
for group in "$@"; do
  case "$group" in
    build) wanted+=("${build[@]}") ;;
    run) wanted+=("${run[@]}") ;;
    test) wanted+=("${test[@]}") ;;
    bench) wanted+=("${bench[@]}") ;;
    *) echo "deps.sh: unknown group '$group' (build, run, test or bench)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing ${#missing[@]} Debian packages: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Kestrova needs these Debian packages, and installing them needs root: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
