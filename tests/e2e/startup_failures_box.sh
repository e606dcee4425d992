#!/bin/bash
# The start-up failures a user meets. Each shows one box captioned
# "Anwendungsfehler", no main window appears, and the program ends with exit code 1
# once the box is answered with Enter. A Qt message box on X11 gives its text to no
# other program, so the engine's message for the case (the box's second part) is
# read from tabledump, which opens the table through the same engine, in the same
# directory, as the same user: it must name the file and say what is wrong.
# Usage: startup_failures_box.sh VIEWER TABLEWRITER DEMO_CSV CASE
#   CASE: no_table, no_memo, no_index, not_dbase, unreadable_dir, huge_note
. "$(dirname "$0")/xvfb_session.sh"
CASE=$4
MAIN_CAPTION='^Gemeindedaten - Zum Sortieren'

start_xvfb
dir=$(new_dir)
user=root
case "$CASE" in
no_table)
    expect=("Datei nicht gefunden" "$dir/CD_GIS.DBF") ;;
no_memo)
    write_demo_table "$dir"; rm "$dir/CD_GIS.DBT"
    expect=("$dir/CD_GIS.DBT" "Die Memodatei der Tabelle fehlt") ;;
no_index)
    write_demo_table "$dir"; rm "$dir/CD_GIS.MDX"
    expect=("$dir/CD_GIS.MDX" "die Indexdatei fehlt") ;;
not_dbase)
    write_demo_table "$dir"; head -c 2000 "$DEMO_CSV" >"$dir/CD_GIS.DBF"
    expect=("keine dBASE-Tabelle" "$dir/CD_GIS.DBF") ;;
unreadable_dir)
    # Root reads any directory: only another user meets the missing permission.
    [ "$(id -u)" -eq 0 ] && nobody_can_run || exit 77
    write_demo_table "$dir"; chmod 000 "$dir"; user=nobody
    expect=("$dir/CD_GIS.DBF" "Keine Berechtigung") ;;
huge_note)
    # The record the window opens on refers to a note whose head states 4 GiB, in a
    # memo file that holds more than 64 MiB of other notes after it: the box comes
    # at once (within wait_window's 20 s, against a minute of reading those notes).
    write_demo_table "$dir"
    python3 "$HERE/huge_note_claim.py" "$dir" || fail "could not damage the memo file"
    expect=("$dir/CD_GIS.DBT" "Der Memotext in Block 1 gibt die Länge 4294967287 an") ;;
*)
    fail "unknown case $CASE" ;;
esac

# The engine's message in this directory, for this user.
tabledump=$(dirname "$TABLEWRITER")/tabledump
if [ -x "$tabledump" ]; then
    run=()
    [ "$user" = nobody ] && run=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
    message=$(cd "$dir" && "${run[@]}" "$tabledump" CD_GIS.DBF 2>&1 >/dev/null) &&
        fail "tabledump read the table without an error"
    echo "$message"
    for part in "${expect[@]}"; do
        [[ "$message" == *"$part"* ]] || fail "the engine's message does not say '$part'"
    done
fi

start_viewer_in "$dir" "$user"
box=$(wait_window '^Anwendungsfehler$') || fail "no Anwendungsfehler box ($(cat "$TMP_ROOT/viewer.log"))"
[ -z "$(xdotool search --name "$MAIN_CAPTION" 2>/dev/null)" ] || fail "main window shown"
[ "$(xdotool search --name '^Anwendungsfehler$' 2>/dev/null | wc -l)" -eq 1 ] || fail "more than one box"
focus_window "$box"
xdotool key Return
wait_exit || fail "program still running after the box was answered"
[ "$APP_CODE" -eq 1 ] || fail "exit code $APP_CODE, expected 1: $(tail -n 20 "$TMP_ROOT/viewer.log")"
echo "PASS"
