#!/bin/bash
# The viewer writes nothing: after it has shown the demo table and been closed,
# every file in the table's directory has the same checksum, size, mode and
# modification time as before, and no file has appeared. Run three times: in a
# writable directory, in one nobody may write (chmod a-w) as root, and there as
# the user nobody, for whom the missing write permission really holds.
# Usage: readonly_demo_table.sh VIEWER TABLEWRITER DEMO_CSV
. "$(dirname "$0")/xvfb_session.sh"
MAIN_CAPTION='^Gemeindedaten - Zum Sortieren'

run_and_compare() {
    local dir=$1 user=$2 what=$3 before after main
    before=$(snapshot "$dir")
    sleep 1.1 # a write in the same second could keep a coarse mtime unchanged
    start_viewer_in "$dir" "$user"
    main=$(wait_window "$MAIN_CAPTION") || fail "$what: no main window ($(cat "$TMP_ROOT/viewer.log"))"
    xdotool mousemove --window "$main" 100 200 click 1 key --window "$main" Down Down Next
    python3 "$HERE/wm_close.py" "$main"
    wait_exit || fail "$what: still running after the main window was closed"
    [ "$APP_CODE" -eq 0 ] || fail "$what: exit code $APP_CODE, expected 0: $(tail -n 20 "$TMP_ROOT/viewer.log")"
    after=$(snapshot "$dir")
    [ "$before" = "$after" ] || fail "$what: the directory changed:
$(diff <(echo "$before") <(echo "$after"))"
    echo "ok: $what"
}

start_xvfb
dir=$(new_dir)
write_demo_table "$dir"
[ "$(ls "$dir" | sort | tr '\n' ' ')" = "CD_GIS.DBF CD_GIS.DBT CD_GIS.MDX " ] || fail "demo table incomplete: $(ls "$dir")"
run_and_compare "$dir" root "writable directory"
chmod a-w "$dir" "$dir"/*
run_and_compare "$dir" root "read-only directory, root"
[ "$(id -u)" -eq 0 ] || { echo "PASS (not root: the run as nobody is skipped)"; exit 0; }
nobody_can_run || { echo "PASS (nobody cannot reach $VIEWER: the run as nobody is skipped)"; exit 0; }
run_and_compare "$dir" nobody "read-only directory, user nobody"
echo "PASS"
