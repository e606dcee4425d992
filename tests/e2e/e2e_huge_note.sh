#!/bin/bash
# A note too long to lay out freezes nothing: on a table whose one note is a word of
# 6 MiB without a blank or line break, the name search makes its record current and
# the window shows the yellow note box, answers a second search (the box hides for a
# record without a note) and closes with the window manager's close, exit code 0.
# Each step has a deadline of many seconds: this catches a window that hangs, it
# does not time the window (make bench does).
# Arguments: viewer, table writer.
. "$(dirname "$0")/common.sh"
. "$HERE/window_probe.sh"
CSV_DIR=$(mktemp -d)
trap 'cleanup; rm -rf "$CSV_DIR"' EXIT
[ -x "$TABLEWRITER" ] || exit 77

# Aaa (no note, current at start), Riesenwort (the word), Zell (no note).
DEMO_CSV=$CSV_DIR/notes.csv
python3 - "$DEMO_CSV" <<'EOF'
import sys
word = ("Radonmessungsreihe" * 400000)[:6 << 20]
with open(sys.argv[1], "w", encoding="utf-8", newline="") as out:
    out.write("GEMEINDE,GEMNR,BEZIRK,BL,BREITE,LÄNGE,MITTEL,MIN,MAX,JAHRESMITT,"
              "POTENTIAL,KLASSE,KLEINGEM,TEXT\r\n")
    for name, note in [("Aaa", ""), ("Riesenwort", word), ("Zell", "")]:
        out.write(f'{name},1,Bezirk,W,48.20,16.37,100,50,200,100,120,1,{name.lower()},"{note}"\r\n')
EOF
start_xvfb
start_viewer table
find_window
[ "$(probe shown "$NOTE_BACKGROUND")" = no ] || fail "a note box at start ($SHOT)"

# "Suchen" lies at 124..199 x 122..141 of the client area; the teal panel opens there.
# Waits up to 20 s for the probe's answer; the last screenshot is SHOT.
wait_for() {
    local expected=$1 name=$2 deadline=$((SECONDS + 20))
    shift 2
    while :; do
        snap "$name"
        [ "$(probe "$@")" = "$expected" ] && return 0
        kill -0 "$APP_PID" 2>/dev/null || fail "the viewer ended ($SHOT)"
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.5
    done
}
search() {
    xdotool mousemove 160 131 click 1
    wait_for yes "$2_open" shown "$PANEL_BACKGROUND" || fail "the search panel did not open ($SHOT)"
    xdotool type --delay 20 "$1"
    xdotool key Return
}

search riesenwort word
wait_for yes word_shown shown "$NOTE_BACKGROUND" ||
    fail "no note box within 20 s of the search for the 6 MiB word ($SHOT)"
search zell plain
wait_for no plain_shown shown "$NOTE_BACKGROUND" ||
    fail "the note box still shows 20 s after the search for a record without a note ($SHOT)"
python3 "$HERE/wm_close.py" "$WIN" || fail "could not ask the window to close"
wait_exit || fail "the viewer did not end within 20 s of the close"
[ "$APP_CODE" -eq 0 ] || fail "exit code $APP_CODE, expected 0"
echo "PASS"
