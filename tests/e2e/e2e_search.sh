#!/bin/bash
# The name search as a user does it: "Suchen", a name typed, Enter. The teal panel
# closes, the name order comes back with the GEMEINDE title highlighted, the found
# record stands centred (row 3 of 8), the yellow note box shows for a record with a
# note and hides for one without, and the thumb stands for the record's place (a click
# on the GEMEINDE title, which recounts the place, leaves it where it is). A click on a
# grid cell while the panel is open closes the panel.
# The ctest e2e_search_turkish runs it with GD_E2E_LOCALE=tr_TR.UTF-8 (see common.sh).
# Arguments: viewer, table writer, demo CSV, table dump tool.
. "$(dirname "$0")/common.sh"
. "$HERE/window_probe.sh"
TABLEDUMP=${4:-}
start_xvfb
start_viewer table
[ -x "$TABLEDUMP" ] || fail "the table dump tool is not built: $TABLEDUMP"
find_window
WORK_TABLE=$WORK_DIR/CD_GIS.DBF
# The selection colour, from the current top row while the grid has the focus at start
# (read on the top line of its BEZIRK cell, above the text).
read -r bezirk_left _ < <(title_cell 1)
SELECTION=$(probe colour $((bezirk_left + 1)) "$ROW0_TOP")
[ "$(probe rows "$SELECTION")" = 0 ] || fail "the selection is not on the top row at start ($SHOT)"

# Two names typed as shown (capital first letter), found by their lower-case key: one
# of a record with a note near the middle of the name order, one without a note. Each
# has enough records before and after it to stand centred, and is the first of its name.
"$TABLEDUMP" --order KLEINGEM "$WORK_TABLE" >"$WORK_DIR/by_name.csv" || fail "tabledump failed"
pick() {
    python3 - "$WORK_DIR/by_name.csv" "$1" <<'EOF'
import csv, sys
rows = list(csv.DictReader(open(sys.argv[1], encoding='utf-8')))
n, note = len(rows), sys.argv[2] == 'note'
def fits(i):
    r = rows[i]
    name = r['GEMEINDE']
    return (4 <= i < n - 5 and name.isascii() and name.replace(' ', '').isalpha()
            and r['KLEINGEM'] == name.lower() and rows[i - 1]['KLEINGEM'] != r['KLEINGEM']
            and bool(r['TEXT'].strip()) == note)
i = min((i for i in range(n) if fits(i)), key=lambda i: abs(i - (n // 2 if note else n // 3)))
print(rows[i]['RECNO'], rows[i]['GEMEINDE'])
EOF
}
read -r note_recno NOTE_NAME < <(pick note)
read -r plain_recno PLAIN_NAME < <(pick plain)
[ -n "$NOTE_NAME" ] && [ -n "$PLAIN_NAME" ] || fail "no names to search for in the demo table"
# The search the window makes finds these very records.
found() { "$TABLEDUMP" --seek "$1" "$WORK_TABLE" | python3 -c '
import csv, sys
print(next(csv.DictReader(sys.stdin))["RECNO"])'; }
[ "$(found "$NOTE_NAME")" = "$note_recno" ] || fail "tabledump --seek $NOTE_NAME finds another record"
[ "$(found "$PLAIN_NAME")" = "$plain_recno" ] || fail "tabledump --seek $PLAIN_NAME finds another record"

# "Suchen" covers the right part of the GEMEINDE title, where its green ends at start.
read -r _ green_end < <(probe greenspan 0)
read -r _ gemeinde_right < <(title_cell 0)
open_search() {
    click_at $(((green_end + 1 + gemeinde_right) / 2)) $((GRID_TOP + 9))
    settle yes "$1" shown "$PANEL_BACKGROUND" || fail "the search panel did not open ($SHOT)"
}
search() {
    open_search "$2_open"
    xdotool type --delay 20 "$1"
    xdotool key Return
    settle no "$2_found" shown "$PANEL_BACKGROUND" || fail "the panel stayed open after Enter ($SHOT)"
}

# Sort by MIN first, so that the search has the order and the highlight to bring back.
click_title 3
settle 0 min_sorted green 0 || fail "the MIN click did not move the highlight ($SHOT)"

search "$NOTE_NAME" note
[ "$(probe green 0)" -gt 25 ] || fail "GEMEINDE not highlighted after the search ($SHOT)"
[ "$(probe green 3)" -eq 0 ] || fail "MIN still highlighted after the search ($SHOT)"
[ "$(probe marked)" = 3 ] || fail "$NOTE_NAME on row $(probe marked), expected 3 ($SHOT)"
[ "$(probe shown "$NOTE_BACKGROUND")" = yes ] || fail "no note box for $NOTE_NAME ($SHOT)"
thumb_after_search=$(probe thumb)
[ "$thumb_after_search" != top ] && [ "$thumb_after_search" != bottom ] ||
    fail "thumb at the $thumb_after_search for a record in the middle of the name order ($SHOT)"
# The title click counts the record's place afresh and puts the thumb there.
read -r gemeinde_left _ < <(title_cell 0)
click_at $(((gemeinde_left + green_end) / 2)) $((GRID_TOP + 9))
settle 7 note_recounted marked || fail "after the GEMEINDE click $NOTE_NAME is on row $GOT, expected 7 ($SHOT)"
[ "$(probe thumb)" = "$thumb_after_search" ] ||
    fail "thumb moved from $thumb_after_search to $(probe thumb) when its place was recounted ($SHOT)"

search "$PLAIN_NAME" plain
[ "$(probe marked)" = 3 ] || fail "$PLAIN_NAME on row $(probe marked), expected 3 ($SHOT)"
[ "$(probe shown "$NOTE_BACKGROUND")" = no ] || fail "note box still shown for $PLAIN_NAME ($SHOT)"
[ "$(probe green 0)" -gt 25 ] || fail "GEMEINDE not highlighted after the second search ($SHOT)"

# A click on a grid cell while the panel is open: the box loses the focus, the panel
# closes and the clicked row's record becomes current.
open_search cell_open
click_row 5 4
settle no cell_clicked shown "$PANEL_BACKGROUND" || fail "the panel stayed open after a click on the grid ($SHOT)"
[ "$(probe marked)" = 5 ] || fail "the clicked row 5 is not current, row $(probe marked) is ($SHOT)"
[ "$(probe rows "$SELECTION")" = 5 ] || fail "the selection is on rows '$(probe rows "$SELECTION")', expected 5 ($SHOT)"
echo "PASS"
