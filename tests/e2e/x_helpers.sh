# Steps every end-to-end script shares: a private X server, and waits for a window
# and for the viewer's end. The sourcing script sets APP_PID when it starts the viewer.

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Starts a private Xvfb. The server picks a free display number itself and tells it
# through -displayfd, so two servers never share a display. -noreset: the server does
# not start over each time its last client leaves (every xdotool call is a client, and
# the launcher hands over to the viewer by exec), so no client comes while it does.
start_xvfb() {
    local fd_file
    fd_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fd_file" >/dev/null 2>&1 &
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

# Prints the id of the first window whose name matches; waits up to 20 s, less when
# the viewer has ended meanwhile.
wait_window() {
    local id
    for _ in $(seq 200); do
        id=$(xdotool search --name "$1" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        [ -n "${APP_PID:-}" ] && ! kill -0 "$APP_PID" 2>/dev/null && return 1
        sleep 0.1
    done
    return 1
}

# Gives a window the keyboard focus. A window is found by its name before the server
# has mapped it, and focusing it then fails (BadMatch): tried again for up to 10 s.
focus_window() {
    for _ in $(seq 100); do
        timeout 5 xdotool windowfocus --sync "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "cannot focus window $1"
}

# Waits up to 20 s for the viewer to end; sets APP_CODE to its exit code.
wait_exit() {
    for _ in $(seq 200); do
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
