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
start_viewer() {
    local with_table=$1
    WORK_DIR=$(mktemp -d)
    if [ "$with_table" = table ]; then
        [ -x "$TABLEWRITER" ] || exit 77
        "$TABLEWRITER" "$DEMO_CSV" "$WORK_DIR/CD_GIS.DBF" >/dev/null || fail "tablewriter failed"
    fi
    (cd "$WORK_DIR" && exec env -u QT_QPA_PLATFORM "$VIEWER") >"$WORK_DIR.log" 2>&1 &
    APP_PID=$!
}

MAIN_CAPTION='^Gemeindedaten - Zum Sortieren'
VIEWER=$1
TABLEWRITER=${2:-}
DEMO_CSV=${3:-}
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
