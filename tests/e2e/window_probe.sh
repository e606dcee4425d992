# Looking at the working window from outside, sourced after common.sh: snap takes a
# screenshot, probe asks window_probe.py about it (solid colours only).
# Usage: find_window; snap <name>; probe marked; probe green 3; ...

NOTE_BACKGROUND=FFFF80
PANEL_BACKGROUND=008080

# Screenshots stay here after the run, one per step, for a look at a failure.
SHOT_DIR=${GD_BINARY_DIR:-/tmp}/e2e-shots/$(basename "$0" .sh)
mkdir -p "$SHOT_DIR"
rm -f "$SHOT_DIR"/*.png "$SHOT_DIR"/*.ppm

# Waits for the main window, gives it the keyboard focus and sets WIN, WIN_W, WIN_H and
# the measured layout (GRID_TOP, ROW0_TOP, BAR_X, BAR_TOP, BAR_BOTTOM, TITLE_EDGES).
find_window() {
    local geometry
    WIN=$(wait_window "$MAIN_CAPTION") || fail "no main window"
    focus_window "$WIN"
    sleep 0.5
    geometry=$(xdotool getwindowgeometry "$WIN" | sed -n 's/.*Geometry: //p')
    WIN_W=${geometry%x*}
    WIN_H=${geometry#*x}
    snap start
    eval "$(probe layout)"
}

# Takes a screenshot of the screen; the probes read it; SHOT is its PNG copy.
snap() {
    SHOT=$SHOT_DIR/$1.png
    import -window root -depth 8 "ppm:$SHOT_DIR/last.ppm" 2>/dev/null || fail "no screenshot"
    convert "$SHOT_DIR/last.ppm" -crop "${WIN_W}x${WIN_H}+0+0" +repage "$SHOT" 2>/dev/null
}

probe() {
    python3 "$HERE/window_probe.py" "$SHOT_DIR/last.ppm" "$WIN_W" "$WIN_H" "$@" ||
        fail "the screenshot could not be read"
}

# Title cell n (0 = GEMEINDE ... 6 = POTENTIAL) as "left right".
title_cell() {
    local edges
    read -ra edges <<<"$TITLE_EDGES"
    echo "$((edges[$1 + 1] + 1)) $((edges[$1 + 2] - 2))"
}

# Clicks at a point of the window (it stands at 0,0) and lets it repaint.
click_at() {
    xdotool mousemove "$1" "$2" click 1
    sleep 0.5
}

# Clicks into title cell n, halfway across its part left of x (default: its right edge).
click_title() {
    local left right
    read -r left right < <(title_cell "$1")
    right=${2:-$right}
    click_at $(((left + right) / 2)) $((GRID_TOP + 9))
}

# Clicks into data row n (0 = top), in the given title cell's column.
click_row() {
    local left right
    read -r left right < <(title_cell "$2")
    click_at $(((left + right) / 2)) $((ROW0_TOP + $1 * 18 + 8))
}

# Repeats snap and the probe until it answers the expected text (up to about 5 s);
# GOT holds the last answer, SHOT the last screenshot; fails if it never came.
# Usage: settle <expected> <shot name> <probe query...>
settle() {
    local expected=$1 name=$2
    shift 2
    for _ in $(seq 10); do
        snap "$name"
        GOT=$(probe "$@")
        [ "$GOT" = "$expected" ] && return 0
        sleep 0.5
    done
    return 1
}
