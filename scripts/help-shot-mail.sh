#!/usr/bin/env bash
# Takes the help book's picture of the options window's mail page
# (data/help/images/options-mail.png) from the built program: a virtual
# display with openbox, a secret store on a private session bus, an example
# account with a trusted certificate, the window opened from the Quick Launch
# toolbar and its Mail tab clicked; the window is cut out with its frame.
#   scripts/help-shot-mail.sh [display]     (default 96; the build must exist)
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
display=${1:-96}
shots=$(mktemp -d)
scratch_program=$(mktemp)
# The program with a secret store of its own, unlocked, as on a desktop.
cat > "$scratch_program" <<EOS
#!/bin/sh
exec dbus-run-session -- sh -c 'printf kestrova | gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>&1; exec "$root/build/bin/kestrova"'
EOS
chmod +x "$scratch_program"
program=$scratch_program
. tests/e2e/desktop.sh
trap 'rm -f "$scratch_program"; rm -rf "$shots"; cleanup' EXIT
fingerprint="3F:9A:12:C4:7B:E0:55:2D:91:6C:A8:0B:F3:47:DE:21:6A:B9:04:CC:78:E2:1F:5D:93:A6:0E:B1:4C:D7:28:F5"
# The character rests in the bottom right corner, clear of the window.
check "the character is shown" start mail "[Run]\nNumber=5\n[Rest]\nX=880\nY=620\n[User]\nName=Alex\n[Mail]\n1=mail.example.org\n2=alex\n3=secret\n4=0\nSecurityFor=mail.example.org\nTrustedCertificate=$fingerprint\n"
sleep 2
close_window "Tip of the Day" || true
# The toolbar's third button opens the options window.
toolbar=$(window_named "Quick Launch" 10) && client "$toolbar"
xdotool mousemove $((wx + 113)) $((wy + 20)) click 1
check "the options window opens" window_named "Kestrova" 10 >/dev/null
sleep 1
options=$(xdotool getactivewindow) && client "$options"
# The Mail tab is the second; the pointer then leaves the window.
xdotool mousemove $((wx + 144)) $((wy + 70)) click 1
xdotool mousemove 1000 20
sleep 1.5
client "$options"
# openbox's frame: a 1 px border and a 23 px title bar.
/usr/bin/convert "xwd:$scratch/fb/Xvfb_screen0" -crop "$((ww + 2))x$((wh + 24))+$((wx - 1))+$((wy - 23))" +repage \
  data/help/images/options-mail.png
check "the picture is written" test -s data/help/images/options-mail.png
echo "data/help/images/options-mail.png: $(identify -format '%wx%h' data/help/images/options-mail.png);" \
     "look at it, and set its size in data/help/options.html"
finish "$log"
