# Shared steps of the end-to-end scripts: a private Xvfb and a few waits.
# Usage in a script: . common.sh; start_xvfb; ...

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cleanup() {
    [ -n "${APP_PID:-}" ] && kill "$APP_PID" 2>/dev/null
    [ -n "${OTHER_PID:-}" ] && kill "$OTHER_PID" 2>/dev/null
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
    [ -n "${WORK_DIR:-}" ] && rm -rf "$WORK_DIR"
}
trap cleanup EXIT

# Starts a private Xvfb. The server picks a free display number itself and tells it
# through -displayfd, so scripts that ctest runs side by side never share a display.
start_xvfb() {
    local fd_file
    fd_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do
        if [ -s "$fd_file" ]; then
            export DISPLAY=":$(head -n 1 "$fd_file")"
            if xdotool getdisplaygeometry >/dev/null 2>&1; then
                rm -f "$fd_file"
                return 0
            fi
        fi
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    rm -f "$fd_file"
    fail "Xvfb did not start"
}

# Prints the id of the first window whose name matches the pattern; waits up to 15 s.
wait_window() {
    local id
    for _ in $(seq 150); do
        id=$(xdotool search --name "$1" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

# Waits up to 15 s for the program to end; sets APP_CODE to its exit code.
wait_exit() {
    for _ in $(seq 150); do
        if ! kill -0 "$APP_PID" 2>/dev/null; then
            wait "$APP_PID"
            APP_CODE=$?
            APP_PID=
            return 0
        fi
        sleep 0.1
    done
    return 1
}

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
