# Steps of the window scripts: the viewer started in a fresh directory, with or
# without the demo table. Usage in a script: . common.sh; start_xvfb; ...

cleanup() {
    [ -n "${APP_PID:-}" ] && kill "$APP_PID" 2>/dev/null
    [ -n "${OTHER_PID:-}" ] && kill "$OTHER_PID" 2>/dev/null
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
    [ -n "${WORK_DIR:-}" ] && rm -rf "$WORK_DIR"
}
trap cleanup EXIT

. "$(dirname "${BASH_SOURCE[0]}")/x_helpers.sh"

# Starts the viewer in WORK_DIR (a fresh directory), with the demo table when asked.
# GD_E2E_LOCALE (e.g. tr_TR.UTF-8): the viewer runs under that locale, and the table's
# files are written in lower case (cd_gis.dbf, .dbt, .mdx) as from a DOS medium.
start_viewer() {
    local with_table=$1
    WORK_DIR=$(mktemp -d)
    if [ "$with_table" = table ]; then
        [ -x "$TABLEWRITER" ] || exit 77
        local table=CD_GIS.DBF
        [ -n "${GD_E2E_LOCALE:-}" ] && table=cd_gis.dbf
        "$TABLEWRITER" "$DEMO_CSV" "$WORK_DIR/$table" >/dev/null || fail "tablewriter failed"
    fi
    launch_viewer
    # A viewer that cannot reach the X server just checked by start_xvfb met a fault
    # of the test machine, not of the program (seen once in many runs under load):
    # it gets one fresh server and one more start. Any other early end is left to
    # the script's own checks.
    if ! wait_connected && grep -q 'could not connect to display' "$WORK_DIR.log"; then
        echo "note: the viewer could not reach $DISPLAY; starting a fresh X server" >&2
        kill "$XVFB_PID" 2>/dev/null
        start_xvfb
        launch_viewer
    fi
}

launch_viewer() {
    (cd "$WORK_DIR" && exec env -u QT_QPA_PLATFORM "${LOCALE_ENV[@]}" "$VIEWER") >"$WORK_DIR.log" 2>&1 &
    APP_PID=$!
}

# The environment that puts a program under GD_E2E_LOCALE: the installed locale, or
# the one the test fixture made in <build>/locales. Exits 77 (skipped) when neither is
# to be had.
LOCALE_ENV=()
if [ -n "${GD_E2E_LOCALE:-}" ]; then
    if [ "$(LC_ALL=$GD_E2E_LOCALE locale charmap 2>/dev/null)" = UTF-8 ]; then
        LOCALE_ENV=("LC_ALL=$GD_E2E_LOCALE")
    elif [ "$(LOCPATH=${GD_BINARY_DIR:-}/locales LC_ALL=$GD_E2E_LOCALE locale charmap 2>/dev/null)" = UTF-8 ]; then
        LOCALE_ENV=("LOCPATH=$GD_BINARY_DIR/locales" "LC_ALL=$GD_E2E_LOCALE")
    else
        echo "SKIP: the locale $GD_E2E_LOCALE is neither installed nor made in ${GD_BINARY_DIR:-?}/locales"
        exit 77
    fi
fi

# Waits up to 20 s until the viewer has a window of its own on the display; false
# when it ended before.
wait_connected() {
    for _ in $(seq 200); do
        xdotool search --pid "$APP_PID" >/dev/null 2>&1 && return 0
        kill -0 "$APP_PID" 2>/dev/null || return 1
        sleep 0.1
    done
    return 0
}

MAIN_CAPTION='^Gemeindedaten - Zum Sortieren'
VIEWER=$1
TABLEWRITER=${2:-}
DEMO_CSV=${3:-}
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
