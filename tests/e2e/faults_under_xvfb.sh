#!/usr/bin/env bash
# The real program on a virtual X display with its files in the states
# crashes and accidents leave them: no character in its data folder, the
# settings file a folder, the settings folder a file, a settings file of
# binary garbage. Each time it runs, stays up and ends cleanly on SIGTERM,
# and whatever the user had is still there.
#   faults_under_xvfb.sh <program> <display number>
set -u
display=${2:-91}
shots=""
. "$(dirname "$0")/desktop.sh"

launch() { # launch <name> <home>: starts the program in that home
  log="$scratch/$1.log"
  HOME="$2" XDG_CONFIG_HOME="$2/.config" XDG_DATA_HOME="$2/.local/share" "$program" > "$log" 2>&1 &
  app_pid=$!
}

# A copy of the program whose data folder has no character.
mkdir -p "$scratch/prog"
cp -r "$(dirname "$1")" "$scratch/prog/bin"
rm -rf "$scratch/prog/bin/characters"
program="$scratch/prog/bin/$(basename "$1")"
home="$scratch/home-none"; mkdir -p "$home/.config/Kestrova"
printf '[Run]\nNumber=5\n' > "$home/.config/Kestrova/Kestrova.ini"
launch none "$home"
check "without a character it says so" wait_for "$log" "No character could be loaded" 20
check "the tip of the day still comes" shown "Tip of the Day"
check "closing it brings the quick launch toolbar" bash -c "$(declare -f window_named gone close_window shown); close_window 'Tip of the Day' && shown 'Quick Launch'"
sleep 2
check "and it keeps running" running "$app_pid"
check "the run is counted" grep -q "Number=6" "$home/.config/Kestrova/Kestrova.ini"
stop; rc=$?
check "SIGTERM ends it with status 0 (was $rc)" test "$rc" -eq 0
no_character_log=$log

program=$1
# The settings file's place is taken by a folder.
home="$scratch/home-dir"; mkdir -p "$home/.config/Kestrova/Kestrova.ini"
launch ini-folder "$home"
check "with a folder for its settings file the character greets" wait_for "$log" "Show complete" 20
check "and speaks" wait_for "$log" 'Speak "' 20
stop; rc=$?
check "SIGTERM ends that run with status 0 (was $rc)" test "$rc" -eq 0
check "the folder is left as it was" test -d "$home/.config/Kestrova/Kestrova.ini"
folder_log=$log

# The settings folder's place is taken by a file.
home="$scratch/home-file"; mkdir -p "$home/.config"
printf 'not a folder\n' > "$home/.config/Kestrova"
launch settings-file "$home"
check "with a file for its settings folder the character greets" wait_for "$log" "Show complete" 20
stop; rc=$?
check "SIGTERM ends that run with status 0 (was $rc)" test "$rc" -eq 0
check "the file is left as it was" grep -qx "not a folder" "$home/.config/Kestrova"
file_log=$log

# A settings file of binary garbage: it is kept before a fresh one is written.
home="$scratch/home-garbage"; mkdir -p "$home/.config/Kestrova"
head -c 4096 /dev/urandom > "$home/.config/Kestrova/Kestrova.ini"
cp "$home/.config/Kestrova/Kestrova.ini" "$scratch/garbage.ini"
launch garbage "$home"
check "with a garbage settings file the character greets" wait_for "$log" "Show complete" 20
stop; rc=$?
check "SIGTERM ends that run with status 0 (was $rc)" test "$rc" -eq 0
check "the garbage is kept as Kestrova.ini.damaged" cmp -s "$scratch/garbage.ini" "$home/.config/Kestrova/Kestrova.ini.damaged"
check "and a readable settings file counts the run" grep -q "Number=1" "$home/.config/Kestrova/Kestrova.ini"

finish "$no_character_log" "$folder_log" "$file_log" "$log"
