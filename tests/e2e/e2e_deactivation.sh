#!/bin/bash
# Giving the focus to another X client's window ends the program with exit code 0;
# the search panel taking the focus inside the program does not.
. "$(dirname "$0")/common.sh"
start_xvfb
start_viewer table
win=$(wait_window "$MAIN_CAPTION") || fail "no main window"
focus_window "$win"
# "Suchen" lies at 124..199 x 122..141 of the client area: the panel opens inside.
xdotool mousemove --window "$win" 160 131 click 1
# The panel's teal background shows right of its label once it is open.
panel=
for _ in $(seq 50); do
    import -window root -crop 1x1+300+158 -depth 8 txt:- 2>/dev/null | grep -qi '#008080' && { panel=open; break; }
    sleep 0.1
done
[ "$panel" = open ] || fail "the search panel did not open"
kill -0 "$APP_PID" 2>/dev/null || fail "the search panel ended the program"
xmessage -name other "anderes Programm" &
OTHER_PID=$!
other=$(wait_window '^other$|^xmessage$') || fail "no second X client window"
xdotool windowfocus "$other"
wait_exit || fail "program still running after another client got the focus"
[ "$APP_CODE" -eq 0 ] || fail "exit code $APP_CODE, expected 0"
echo "PASS"
