# Helpers of the read-only and start-up failure scripts: a private Xvfb whose
# display number the server picks itself (-displayfd: no race with parallel
# tests), and the viewer started in a directory as root or as the user nobody.
# Usage: . xvfb_session.sh VIEWER TABLEWRITER DEMO_CSV

VIEWER=$1
TABLEWRITER=$2
DEMO_CSV=$3
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
TMP_ROOT=$(mktemp -d)
chmod 755 "$TMP_ROOT"

session_cleanup() {
    [ -n "${APP_PID:-}" ] && kill "$APP_PID" 2>/dev/null
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
    chmod -R u+rwx "$TMP_ROOT" 2>/dev/null
    rm -rf "$TMP_ROOT"
}
trap session_cleanup EXIT

. "$HERE/x_helpers.sh"

# A new directory under the session's root, readable by everyone.
new_dir() {
    local dir
    dir=$(mktemp -d -p "$TMP_ROOT")
    chmod 755 "$dir"
    echo "$dir"
}

# True when the user nobody can run the viewer (not when the build lies below a
# directory that only root may enter).
nobody_can_run() {
    setpriv --reuid=nobody --regid=nogroup --clear-groups -- test -x "$VIEWER" 2>/dev/null
}

# Writes the demo table (CD_GIS.DBF, .DBT, .MDX) into a directory.
write_demo_table() {
    [ -x "$TABLEWRITER" ] || exit 77
    "$TABLEWRITER" "$DEMO_CSV" "$1/CD_GIS.DBF" >/dev/null || fail "tablewriter failed"
    chmod 644 "$1"/*
}

# Starts the viewer in a directory; as the user nobody when the second argument
# is "nobody" (root may write anywhere, so only another user proves that the
# program does not need to).
start_viewer_in() {
    local dir=$1 user=${2:-root}
    local -a run=()
    if [ "$user" = nobody ]; then
        command -v setpriv >/dev/null || exit 77
        run=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
    fi
    # In a sanitizer build a report ends the program with 86, which no case expects.
    (cd "$dir" && exec "${run[@]}" env -u QT_QPA_PLATFORM HOME="$TMP_ROOT" XDG_RUNTIME_DIR= \
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}exitcode=86" \
        UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}exitcode=86" \
        "$VIEWER") >"$TMP_ROOT/viewer.log" 2>&1 &
    APP_PID=$!
}

# Name, size, mode, modification time and checksum of everything in a directory.
snapshot() {
    (cd "$1" && find . -printf '%p %s %m %T@ %U\n' | sort && find . -type f -exec sha256sum {} + | sort)
}
