#!/bin/bash
# Without the table the start-up error box appears, no main window, and the program
# ends with exit code 1 once the box is answered.
. "$(dirname "$0")/common.sh"
start_xvfb
start_viewer none
box=$(wait_window '^Anwendungsfehler$') || fail "no Anwendungsfehler box"
[ -z "$(xdotool search --name "$MAIN_CAPTION" 2>/dev/null)" ] || fail "main window shown"
focus_window "$box"
xdotool key Return
wait_exit || fail "program still running after the box was answered"
[ "$APP_CODE" -eq 1 ] || fail "exit code $APP_CODE, expected 1"
[ -z "$(ls -A "$WORK_DIR")" ] || fail "files written: $(ls -A "$WORK_DIR")"
echo "PASS"
