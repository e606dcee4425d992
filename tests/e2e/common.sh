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

# Starts Xvfb on the first display number that has no lock file and answers.
start_xvfb() {
    local n
    for n in $(seq 120 199); do
        [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do
            xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
            kill -0 "$XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        kill "$XVFB_PID" 2>/dev/null
    done
    fail "no free X display"
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
