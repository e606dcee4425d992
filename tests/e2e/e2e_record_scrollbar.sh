#!/bin/bash
# The record scroll bar over the grid's right edge: three clicks on its down arrow
# move the current record three rows down; dragging the thumb to the bar's middle moves
# far into the table (the current record ends on the bottom row), the thumb stays where
# it was dropped, and it stands for the record's place: a click on the GEMEINDE title,
# which counts the place afresh and puts the thumb there, leaves it where it is.
# On the way the yellow note box follows the arrows: shown on a record with a note,
# hidden on one without.
# Arguments: viewer, table writer, demo CSV, table dump tool.
. "$(dirname "$0")/common.sh"
. "$HERE/window_probe.sh"
TABLEDUMP=${4:-}
start_xvfb
start_viewer table
[ -x "$TABLEDUMP" ] || fail "the table dump tool is not built: $TABLEDUMP"
find_window

# Which of the first records of the name order have a note ("yes"/"no" by place).
mapfile -t NOTES < <("$TABLEDUMP" --order KLEINGEM "$WORK_DIR/CD_GIS.DBF" | python3 -c '
import csv, sys
for r in list(csv.DictReader(sys.stdin))[:40]:
    print("yes" if r["TEXT"].strip() else "no")')
# The first record after the fourth with a note, and the next one's note state.
noted=
for place in $(seq 4 38); do
    [ "${NOTES[$place]}" = yes ] && { noted=$place; break; }
done
[ -n "$noted" ] || fail "no record with a note among the first 40 of the demo table"

[ "$(probe marked)" = 0 ] || fail "current record not on the top row at start ($SHOT)"
[ "$(probe thumb)" = top ] || fail "thumb not at the top at start ($SHOT)"
# The grid has the focus, so the current row shows in the selection colour; read it
# from the top line of the row's BEZIRK cell (text starts 2 pixels lower).
read -r bezirk_left _ < <(title_cell 1)
SELECTION=$(probe colour $((bezirk_left + 1)) "$ROW0_TOP")
[ "$SELECTION" != FFFFFF ] || fail "the current row is not highlighted at start ($SHOT)"
[ "$(probe rows "$SELECTION")" = 0 ] || fail "the selection is not on the top row alone ($SHOT)"
start_rows=$(probe rowsig)

# The down arrow button is the bar's last 15 pixels.
for _ in 1 2 3; do
    click_at "$BAR_X" $((BAR_BOTTOM - 7))
done
settle 3 arrow_down marked || fail "after three clicks on the down arrow the current row is $GOT, expected 3 ($SHOT)"
[ "$(probe rows "$SELECTION")" = 3 ] || fail "the selection is on rows '$(probe rows "$SELECTION")', expected 3 ($SHOT)"
[ "$(probe rowsig)" != "$start_rows" ] || fail "the rows did not repaint ($SHOT)"
[ "$(probe shown "$NOTE_BACKGROUND")" = "${NOTES[3]}" ] ||
    fail "note box shown: $(probe shown "$NOTE_BACKGROUND"), the record has a note: ${NOTES[3]} ($SHOT)"

# On down to the record with a note, then one further.
for _ in $(seq 4 "$noted"); do
    click_at "$BAR_X" $((BAR_BOTTOM - 7))
done
row=$((noted < 8 ? noted : 7))
settle "$row" arrow_to_note marked || fail "the record at place $noted is on row $GOT, expected $row ($SHOT)"
[ "$(probe shown "$NOTE_BACKGROUND")" = yes ] || fail "no note box on the record at place $noted ($SHOT)"
click_at "$BAR_X" $((BAR_BOTTOM - 7))
row=$((noted + 1 < 8 ? noted + 1 : 7))
settle "$row" arrow_past_note marked || fail "the record at place $((noted + 1)) is on row $GOT, expected $row ($SHOT)"
[ "$(probe shown "$NOTE_BACKGROUND")" = "${NOTES[$((noted + 1))]}" ] ||
    fail "note box shown: $(probe shown "$NOTE_BACKGROUND"), the record at place $((noted + 1)) has a note: ${NOTES[$((noted + 1))]} ($SHOT)"

# Drag the thumb to the middle of the bar in small steps, as a hand would.
grip=$(probe grip)
middle=$(((BAR_TOP + BAR_BOTTOM) / 2))
xdotool mousemove "$BAR_X" "$grip" mousedown 1
sleep 0.2
for y in $(seq "$grip" 6 "$middle") "$middle"; do
    xdotool mousemove "$BAR_X" "$y"
    sleep 0.05
done
xdotool mouseup 1
settle 7 dragged marked || fail "after the drag the current row is $GOT, expected the bottom row 7 ($SHOT)"
[ "$(probe rows "$SELECTION")" = 7 ] || fail "the selection is on rows '$(probe rows "$SELECTION")', expected 7 ($SHOT)"
dropped=$(probe thumb)
case $dropped in
top | bottom) fail "the thumb went to the $dropped after the drag to $middle ($SHOT)" ;;
esac
read -r thumb_top thumb_bottom <<<"$dropped"
[ "$thumb_top" -le "$middle" ] && [ "$middle" -le "$thumb_bottom" ] ||
    fail "the thumb stands at $dropped, not under the drop point $middle ($SHOT)"
sleep 1
snap dropped_later
[ "$(probe thumb)" = "$dropped" ] || fail "the thumb moved from $dropped to $(probe thumb) after the drop ($SHOT)"

# The GEMEINDE title, left of the "Suchen" button: same order, same record, its place
# counted by walking; the thumb stays if the drag landed on the record at its place.
read -r gemeinde_left green_end < <(probe greenspan 0)
click_at $(((gemeinde_left + green_end) / 2)) $((GRID_TOP + 9))
settle 7 recounted marked || fail "after the GEMEINDE click the current row is $GOT, expected 7 ($SHOT)"
[ "$(probe thumb)" = "$dropped" ] ||
    fail "the thumb moved from $dropped to $(probe thumb) when its place was recounted ($SHOT)"
echo "PASS"
