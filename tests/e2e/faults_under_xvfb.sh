#!/usr/bin/env bash
# The real program on a virtual X display with its files in the states
# crashes and accidents leave them: no character in its data folder, the
# settings file a folder, the settings folder a file, a settings file of
# binary garbage, one holding the password beside a byte that is not UTF-8,
# settings files of 100 MB. Each time it runs, stays up and ends cleanly on SIGTERM,
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

garbage_log=$log

# The password in the settings file (no secret store) and one byte that is
# not UTF-8: the repaired file and the damaged one's copy are the owner's
# alone, under the usual umask.
home="$scratch/home-password"; mkdir -p "$home/.config/Kestrova"
printf '[Run]\nNumber=5\n[Mail]\n1=pop.example.org\n3=s3cret\n[User]\nName=Jos\xe9\n' > "$home/.config/Kestrova/Kestrova.ini"
chmod 600 "$home/.config/Kestrova/Kestrova.ini"
umask 022
launch password "$home"
check "with a password beside a bad byte the character greets" wait_for "$log" "Show complete" 20
check "the repaired settings file is the owner's alone" test "$(stat -c %a "$home/.config/Kestrova/Kestrova.ini")" = 600
check "and still holds the password" grep -q "s3cret" "$home/.config/Kestrova/Kestrova.ini"
check "the damaged file's copy is the owner's alone" test "$(stat -c %a "$home/.config/Kestrova/Kestrova.ini.damaged")" = 600
check "nothing else readable by others is in the settings folder" test -z "$(find "$home/.config/Kestrova" -type f -perm /044)"
stop; rc=$?
check "SIGTERM ends that run with status 0 (was $rc)" test "$rc" -eq 0
password_log=$log

# Settings files of 100 MB: not read, set aside whole (renamed, nothing of
# that size written), and the character comes as with no settings.
home="$scratch/home-huge"; mkdir -p "$home/.config/Kestrova"
for f in Kestrova CharacterService; do
  { printf '[Run]\nNumber=5\n[Junk]\n'; yes 'Junk=a line of a settings file far too large' | head -c 100M; } > "$home/.config/Kestrova/$f.ini"
  ls -i "$home/.config/Kestrova/$f.ini" | cut -d' ' -f1 > "$scratch/$f.inode"
done
launch huge "$home"
check "with settings files of 100 MB the character greets within 20 s" wait_for "$log" "Show complete" 20
for f in Kestrova CharacterService; do
  check "$f.ini is kept whole as $f.ini.damaged" test "$(ls -i "$home/.config/Kestrova/$f.ini.damaged" | cut -d' ' -f1)" = "$(cat "$scratch/$f.inode")"
done
check "the log says why" grep -q "too large to be settings" "$log"
check "and a fresh settings file counts the run" grep -q "Number=1" "$home/.config/Kestrova/Kestrova.ini"
check "nothing of that size was written" test -z "$(find "$home/.config/Kestrova" -type f -size +1M ! -name '*.damaged')"
stop; rc=$?
check "SIGTERM ends that run with status 0 (was $rc)" test "$rc" -eq 0
rm -rf "$home"

finish "$no_character_log" "$folder_log" "$file_log" "$garbage_log" "$password_log" "$log"
