#!/bin/bash
# On the demo table the main window appears at 0,0 with its caption; asking it to
# close, as the close box does, ends the program with exit code 0.
. "$(dirname "$0")/common.sh"
start_xvfb
start_viewer table
win=$(wait_window "$MAIN_CAPTION") || fail "no main window"
xdotool getwindowgeometry "$win" | grep -q 'Position: 0,0' || fail "not at 0,0: $(xdotool getwindowgeometry "$win")"
[ -z "$(xdotool search --name '^Anwendungsfehler$' 2>/dev/null)" ] || fail "error box shown"
python3 "$HERE/wm_close.py" "$win" || fail "cannot send the close request"
wait_exit || fail "program still running after the close request"
[ "$APP_CODE" -eq 0 ] || fail "exit code $APP_CODE, expected 0"
echo "PASS"
