#!/usr/bin/env bash
# Installs the build into a scratch prefix, checks every file lands where a
# desktop looks for it and that the desktop files validate, then starts the
# installed bin/kestrova on a virtual display: it greets only if it finds its
# character and data in its private folder.
#   install_under_xvfb.sh <build dir> <display number>
set -u
build=$1
display=${2:-81}
prefix=$(mktemp -d)
program="$prefix/bin/kestrova"
shots=""
source "$(dirname "$0")/desktop.sh"
trap 'cleanup; rm -rf "$prefix"' EXIT

check "cmake --install succeeds" bash -c "cmake --install '$build' --prefix '$prefix' >'$scratch/install.log' 2>&1"
lib="$prefix/lib/kestrova"
check "the program is in its private folder" test -x "$lib/kestrova"
check "bin/kestrova leads to it" test "$(readlink -f "$program")" = "$(readlink -f "$lib/kestrova")"
for tool in kestrova-character-check kestrova-character-preview; do
  check "$tool is on the path" test -x "$prefix/bin/$tool"
done
check "the mail module is beside the program" test -f "$lib/libkestrova_mailbox.so"
check "the mail module's libraries are all found" bash -c "! ldd '$lib/libkestrova_mailbox.so' | grep -q 'not found'"
check "the program itself does not link libcurl" bash -c "! ldd '$lib/kestrova' | grep -q libcurl"
check "the sound module is beside the program" test -f "$lib/libkestrova_sound.so"
check "the sound module's libraries are all found" bash -c "! ldd '$lib/libkestrova_sound.so' | grep -q 'not found'"
check "the program itself links no voice or sound library" \
  bash -c "! ldd '$lib/kestrova' | grep -qE 'libflite|libQt6Multimedia|libQt6TextToSpeech'"
check "the characters are installed" test -f "$lib/characters/kess/art.svg"
check "the jokes are installed" test -s "$lib/JOKES.TXT"
check "the tips are installed" test -s "$lib/TIPOFDAY.TXT"
check "the toolbar icons are installed" test -f "$lib/icons/tip.svg"
check "the help pages are installed" test -f "$lib/help/index.html"
if [ -f "$build/bin/Kestrova_Help.chm" ]; then
  check "the compiled help book is installed beside the program" cmp -s "$build/bin/Kestrova_Help.chm" "$lib/Kestrova_Help.chm"
fi
check "no tests are installed" bash -c "! find '$prefix' -name 'test_*' | grep -q ."
id=org.kestrova.Kestrova
check "the launcher entry is installed" test -f "$prefix/share/applications/$id.desktop"
check "the launcher entry validates" desktop-file-validate "$prefix/share/applications/$id.desktop"
check "the metainfo is installed" test -f "$prefix/share/metainfo/$id.metainfo.xml"
check "the metainfo validates" bash -c "appstreamcli validate --no-net '$prefix/share/metainfo/$id.metainfo.xml' >'$scratch/asv.log' 2>&1"
check "the scalable icon is installed" test -f "$prefix/share/icons/hicolor/scalable/apps/$id.svg"
for size in 16 32 48 64 128 256; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
  check "the ${size}x${size} icon is ${size} pixels square" bash -c "identify -format '%wx%h' '$png' 2>/dev/null | grep -qx '${size}x${size}'"
done
check "the character checker accepts the installed Kess" "$prefix/bin/kestrova-character-check" "$lib/characters/kess"

# Started from elsewhere, through the link.
cd /
check "the installed program shows the character" start installed
check "and speaks its greeting" wait_for "$log" "The time is " 20
check "the log names no missing data" bash -c "! grep -qiE 'cannot (open|read|load)|not found' '$log'"
stop; rc=$?
check "SIGTERM ends it with status 0 (was $rc)" test "$rc" -eq 0

if [ $failures -ne 0 ]; then
  echo "--- install log"; tail -n 20 "$scratch/install.log" 2>/dev/null
  echo "--- appstream"; cat "$scratch/asv.log" 2>/dev/null
  echo "--- program log"; tail -n 40 "$log" 2>/dev/null
fi
echo "$passes passed, $failures failed"
[ $failures -eq 0 ]
