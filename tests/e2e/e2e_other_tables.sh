#!/bin/bash
# Tables that are not quite the municipality table, and a memo file that goes bad
# while the window is open. The window never crashes:
#   fields13, fields3  the creation handler asks for a column the table lacks: one
#                      error box captioned with the program's title, then the window
#                      shows; closing it ends the program with 0
#   fields15, reordered  15 fields, or the 14 in another order: the window shows
#                      without a box and ends with 0
#   no_tag             no production index, so no tag KLEINGEM: one "Anwendungsfehler"
#                      box, no window, exit code 1
#   memo_cut           the memo file cut while the window is open, then a search for a
#                      name with a note: one error box; closing the window afterwards
#                      ends the program with 0
#   memo_huge_claim    records refer to a note whose head states 4 GiB in a memo file
#                      holding more than 64 MiB after it (sparse): the window shows
#                      at once, a search for such a record gives one error box at
#                      once (nothing of the other notes is read into the note box),
#                      and closing the window ends the program with 0
# The tables are written by Perl's XBase module from the demo table; a production
# index (where the header says so) is the demo table's, whose tags the engine
# evaluates on the table's own records.
# Usage: e2e_other_tables.sh VIEWER TABLEWRITER DEMO_CSV CASE
. "$(dirname "$0")/xvfb_session.sh"
CASE=$4
MAIN_CAPTION='^Gemeindedaten - Zum Sortieren'
TITLE_CAPTION='^gemeindedaten$'
perl -MXBase -e 1 2>/dev/null || exit 77

# Writes CD_GIS.DBF (+ .DBT) into a directory with the demo table's fields named in
# order ("NAME:C:8" adds a text field of that width, filled with "x"), with its
# records; with "index", marks a production index and puts the demo's beside it.
write_shape() {
    local dir=$1 index=$2
    shift 2
    local demo
    demo=$(new_dir)
    write_demo_table "$demo"
    perl - "$demo/CD_GIS.DBF" "$dir/CD_GIS" "$@" <<'EOF' || fail "XBase could not write the table"
use strict;
use warnings;
use Encode qw(decode encode);
use XBase;
# Field names come as UTF-8; the table stores them in Windows-1252.
my ($source, $target, @wanted) = map { encode('cp1252', decode('UTF-8', $_)) } @ARGV;
my $in = XBase->new($source) or die XBase->errstr;
my (@names, @types, @lengths, @decimals, @from);
for my $w (@wanted) {
    if ($w =~ /^(\w+):(\w):(\d+)$/) {
        push @names, $1; push @types, $2; push @lengths, $3; push @decimals, 0;
        push @from, undef;
        next;
    }
    my $i = $in->field_name_to_num($w);
    defined $i or die "no field $w\n";
    push @names, $w;
    push @types, ($in->field_types)[$i];
    push @lengths, ($in->field_lengths)[$i];
    push @decimals, ($in->field_decimals)[$i];
    push @from, $w;
}
my $out = XBase->create(name => $target, field_names => \@names, field_types => \@types,
    field_lengths => \@lengths, field_decimals => \@decimals) or die XBase->errstr;
for my $r (0 .. $in->last_record) {
    my $record = $in->get_record_as_hash($r);
    next if $record->{_DELETED};
    $out->set_record($r, map { defined $_ ? $record->{$_} : "x" } @from) or die $out->errstr;
}
$out->close;
EOF
    mv "$dir/CD_GIS.dbf" "$dir/CD_GIS.DBF"
    [ -f "$dir/CD_GIS.dbt" ] && mv "$dir/CD_GIS.dbt" "$dir/CD_GIS.DBT"
    # Header byte 28: a production index belongs to the table; byte 29: Windows-1252.
    local flag='\0'
    [ "$index" = index ] && flag='\1' && cp "$demo/CD_GIS.MDX" "$dir/CD_GIS.MDX"
    printf '%b\127' "$flag" | dd of="$dir/CD_GIS.DBF" bs=1 seek=28 conv=notrunc status=none
    chmod 644 "$dir"/*
}

visible() {
    xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l
}

# Waits up to 10 s for a visible window; prints its id.
wait_visible() {
    local id
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        kill -0 "$APP_PID" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# Answers the one error box with the given caption.
answer_box() {
    local box
    box=$(wait_visible "$1") || fail "no error box '$1' ($(cat "$TMP_ROOT/viewer.log"))"
    sleep 0.5
    [ "$(visible "$1")" -eq 1 ] || fail "more than one box"
    focus_window "$box"
    xdotool key Return
    for _ in $(seq 50); do
        [ "$(visible "$1")" -eq 0 ] && return 0
        sleep 0.1
    done
    fail "the box did not close"
}

# Searches for a name in the window as a user does: "Suchen", the name, Enter.
search_for() {
    focus_window "$1"
    # "Suchen" lies at 124..199 x 122..141 of the client area.
    xdotool mousemove --window "$1" 160 131 click 1
    sleep 0.5
    xdotool type --delay 20 "$2"
    xdotool key Return
}

# Closes the main window as its close box does; the program must end with 0.
close_and_expect_zero() {
    python3 "$HERE/wm_close.py" "$1" || fail "could not ask the window to close"
    wait_exit || fail "program still running after the window was closed"
    [ "$APP_CODE" -eq 0 ] || fail "exit code $APP_CODE, expected 0: $(tail -n 5 "$TMP_ROOT/viewer.log")"
}

ALL=(GEMEINDE GEMNR BEZIRK BL BREITE LÄNGE MITTEL MIN MAX JAHRESMITT POTENTIAL KLASSE KLEINGEM TEXT)
start_xvfb
dir=$(new_dir)
case "$CASE" in
fields13) write_shape "$dir" index "${ALL[@]:0:13}" ;;
fields3) write_shape "$dir" index GEMEINDE BL KLEINGEM ;;
fields15) write_shape "$dir" index "${ALL[@]}" ZUSATZ:C:8 ;;
reordered) write_shape "$dir" index KLEINGEM TEXT "${ALL[@]:0:12}" ;;
no_tag) write_shape "$dir" none "${ALL[@]}" ;;
memo_cut) write_demo_table "$dir" ;;
memo_huge_claim)
    write_demo_table "$dir"
    name=$(python3 "$HERE/huge_note_claim.py" "$dir" --keep-first) || fail "could not damage the memo file" ;;
*) fail "unknown case $CASE" ;;
esac
start_viewer_in "$dir"

case "$CASE" in
fields13 | fields3)
    box=$(wait_visible "$TITLE_CAPTION") || fail "no error box ($(cat "$TMP_ROOT/viewer.log"))"
    [ "$(visible "$MAIN_CAPTION")" -eq 0 ] || fail "main window shown before the box was answered"
    answer_box "$TITLE_CAPTION"
    win=$(wait_visible "$MAIN_CAPTION") || fail "no main window after the box"
    close_and_expect_zero "$win" ;;
fields15 | reordered)
    win=$(wait_visible "$MAIN_CAPTION") || fail "no main window ($(cat "$TMP_ROOT/viewer.log"))"
    sleep 0.5
    [ "$(visible "$TITLE_CAPTION")" -eq 0 ] || fail "an error box is shown"
    close_and_expect_zero "$win" ;;
no_tag)
    answer_box '^Anwendungsfehler$'
    wait_exit || fail "program still running after the box was answered"
    [ "$APP_CODE" -eq 1 ] || fail "exit code $APP_CODE, expected 1" ;;
memo_cut)
    win=$(wait_visible "$MAIN_CAPTION") || fail "no main window ($(cat "$TMP_ROOT/viewer.log"))"
    # A name with a note, from the demo's own text: the first ASCII one.
    name=$(python3 - "$DEMO_CSV" <<'EOF'
import csv, sys
for row in csv.DictReader(open(sys.argv[1], encoding='utf-8')):
    if row['TEXT'].strip() and row['GEMEINDE'].isascii() and row['GEMEINDE'].isalpha():
        print(row['GEMEINDE'])
        break
EOF
)
    [ -n "$name" ] || fail "no name with a note in the demo table"
    truncate -s 512 "$dir/CD_GIS.DBT"
    search_for "$win" "$name"
    answer_box "$TITLE_CAPTION"
    kill -0 "$APP_PID" 2>/dev/null || fail "the program ended after the box"
    close_and_expect_zero "$win" ;;
memo_huge_claim)
    # Generous deadlines (10 s each) against a window that would read 64 MiB of
    # other notes into its note box for a minute.
    win=$(wait_visible "$MAIN_CAPTION") || fail "no main window ($(cat "$TMP_ROOT/viewer.log"))"
    [ "$(visible "$TITLE_CAPTION")" -eq 0 ] || fail "an error box is shown"
    search_for "$win" "$name"
    answer_box "$TITLE_CAPTION"
    close_and_expect_zero "$win" ;;
esac
echo "PASS"
