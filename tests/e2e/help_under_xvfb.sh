#!/usr/bin/env bash
# Help in the real program on a virtual X display, with the desktop's opener
# (xdg-open) replaced by a script that writes down what it was asked to open
# and the desktop's applications replaced by folders of the test's own:
# typing "help" hands the HTML pages to the opener while no application
# claims CHM files, the compiled book once one does, and with neither file
# beside the program the character says where to look.
#   help_under_xvfb.sh <program> <display number>
# With KESTROVA_SHOTS=<folder> it also saves help-missing.png there.
set -u
display=${2:-85}
shots=${KESTROVA_SHOTS:-}
. "$(dirname "$0")/desktop.sh"

# A copy of the program, so what lies beside it is the test's.
mkdir -p "$scratch/prog" "$scratch/shim"
cp -r "$(dirname "$1")" "$scratch/prog/bin"
program="$scratch/prog/bin/$(basename "$1")"
book="$scratch/prog/bin/Kestrova_Help.chm"
# The compiled book where the build made one; a stand-in otherwise (the
# opener below never reads it).
[ -f "$book" ] || printf 'ITSF' > "$book"
opened="$scratch/opened.log"
: > "$opened"
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s"\n' "$opened" > "$scratch/shim/xdg-open"
chmod +x "$scratch/shim/xdg-open"
export PATH="$scratch/shim:$PATH"
# The shared MIME database, but none of the machine's applications.
mkdir -p "$scratch/xdg-data/applications" "$scratch/xdg-config"
ln -s /usr/share/mime "$scratch/xdg-data/mime"
export XDG_DATA_DIRS="$scratch/xdg-data" XDG_CONFIG_DIRS="$scratch/xdg-config"

check "the character is shown" start pages
listen_and_type help
check "typing help raises Help" wait_for "$log" 'Command "Help" confidence 100' 5
check "without a CHM viewer the HTML pages go to the opener" wait_for "$opened" "help/index.html" 10
check "and the compiled book does not" bash -c "! grep -q 'Kestrova_Help.chm' '$opened'"
stop; rc=$?
check "SIGTERM ends the run with status 0 (was $rc)" test "$rc" -eq 0

# An application that claims CHM files.
printf '[Desktop Entry]\nType=Application\nName=Viewer\nExec=chmview %%f\nMimeType=application/vnd.ms-htmlhelp;\n' \
  > "$scratch/xdg-data/applications/chmview.desktop"
printf '[MIME Cache]\napplication/vnd.ms-htmlhelp=chmview.desktop;\n' > "$scratch/xdg-data/applications/mimeinfo.cache"
: > "$opened"
check "the character is shown again" start viewer
listen_and_type "show help"
check "typing show help raises Help" wait_for "$log" 'Command "Help" confidence 100' 5
check "with a CHM viewer the compiled book goes to the opener" wait_for "$opened" "Kestrova_Help.chm" 10
check "and the pages do not" bash -c "! grep -q 'index.html' '$opened'"
stop; rc=$?
check "SIGTERM ends the second run with status 0 (was $rc)" test "$rc" -eq 0

# Neither file beside the program.
rm -rf "$book" "$scratch/prog/bin/help"
: > "$opened"
check "the character is shown a third time" start missing
listen_and_type help
check "without either file the character says so" wait_for "$log" 'Speak "I could not find the help file.' 10
sleep 1
shot help-missing
check "and nothing goes to the opener" test ! -s "$opened"
stop; rc=$?
check "SIGTERM ends the third run with status 0 (was $rc)" test "$rc" -eq 0
finish "$log"
