#!/bin/bash
# A click on the MIN title sorts by MIN: the green sort-title highlight leaves GEMEINDE
# for MIN, the grid shows other rows, and the record that was current stays current
# at its place in the new order. A click on GEMEINDE brings the name order back.
# Arguments: viewer, table writer, demo CSV, table dump tool.
. "$(dirname "$0")/common.sh"
. "$HERE/window_probe.sh"
TABLEDUMP=${4:-}
start_xvfb
start_viewer table
[ -x "$TABLEDUMP" ] || fail "the table dump tool is not built: $TABLEDUMP"
find_window

# Title cells: 0 GEMEINDE, 1 BEZIRK, 2 BL, 3 MIN, 4 MAX, 5 JAHRESMITT, 6 POTENTIAL.
[ "$(probe green 0)" -gt 25 ] || fail "GEMEINDE not highlighted at start ($SHOT)"
[ "$(probe green 3)" -eq 0 ] || fail "MIN highlighted at start ($SHOT)"
[ "$(probe marked)" = 0 ] || fail "current record not on the top row at start ($SHOT)"
# The grid has the focus, so the current row shows in the selection colour; read it
# from the top line of the row's BEZIRK cell (text starts 2 pixels lower).
read -r bezirk_left _ < <(title_cell 1)
SELECTION=$(probe colour $((bezirk_left + 1)) "$ROW0_TOP")
[ "$SELECTION" != FFFFFF ] || fail "the current row is not highlighted at start ($SHOT)"
[ "$(probe rows "$SELECTION")" = 0 ] || fail "the selection is not on the top row alone ($SHOT)"
before=$(probe rowsig)
# The green of the GEMEINDE title ends where the "Suchen" button begins.
read -r _ START_GREEN_END < <(probe greenspan 0)

# The current record at start is the first of the name order; where it stands in MIN.
WORK_TABLE=$WORK_DIR/CD_GIS.DBF
first=$("$TABLEDUMP" --order KLEINGEM "$WORK_TABLE" | python3 -c '
import csv, sys
print(next(csv.DictReader(sys.stdin))["RECNO"])')
read -r place total < <("$TABLEDUMP" --order MIN "$WORK_TABLE" | python3 -c '
import csv, sys
rows = list(csv.DictReader(sys.stdin))
print([r["RECNO"] for r in rows].index(sys.argv[1]), len(rows))' "$first")
# The two moves that count the place leave the record on row k, or on the bottom row.
expected_row=$((place < 8 ? place : 7))

click_title 3
settle 0 min_clicked green 0 || fail "GEMEINDE still highlighted after the MIN click ($SHOT)"
[ "$(probe green 3)" -gt 25 ] || fail "MIN not highlighted after its click ($SHOT)"
for cell in 1 2 4 5 6; do
    [ "$(probe green $cell)" -eq 0 ] || fail "title cell $cell highlighted after the MIN click ($SHOT)"
done
[ "$(probe rowsig)" != "$before" ] || fail "the grid's rows did not change after the MIN click ($SHOT)"
[ "$(probe marked)" = "$expected_row" ] ||
    fail "current record on row $(probe marked), expected $expected_row (place $place in MIN) ($SHOT)"
[ "$(probe rows "$SELECTION")" = "$expected_row" ] ||
    fail "selection on rows '$(probe rows "$SELECTION")', expected $expected_row ($SHOT)"
# The thumb stands for the place: away from the top when the place is a visible part
# of the bar's range (the bar holds the record count).
if [ $((place * 20)) -gt "$total" ]; then
    [ "$(probe thumb)" != top ] || fail "thumb still at the top for place $place of $total ($SHOT)"
fi

# Back to the name order: the left part of the GEMEINDE title (the "Suchen" button
# covers its right part, where the green of the start screenshot ended).
read -r gemeinde_left _ < <(title_cell 0)
click_at $(((gemeinde_left + START_GREEN_END) / 2)) $((GRID_TOP + 9))
settle 0 gemeinde_clicked green 3 || fail "MIN still highlighted after the GEMEINDE click ($SHOT)"
[ "$(probe green 0)" -gt 25 ] || fail "GEMEINDE not highlighted after its click ($SHOT)"
[ "$(probe marked)" = 0 ] || fail "the first record by name is not on the top row again ($SHOT)"
[ "$(probe rowsig)" = "$before" ] || fail "the name order's first rows differ from the start ($SHOT)"
[ "$(probe thumb)" = top ] || fail "thumb not back at the top for the first record ($SHOT)"
echo "PASS"
