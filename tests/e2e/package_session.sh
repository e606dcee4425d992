# Steps of the package scripts: the package made by CPack from this build, the
# installed launcher started as the desktop starts it, and the check that a viewer
# runs in the folder it was given. ROOT is where the package's files are: a dpkg -x
# root ("unpacked") or the machine itself ("system").
# Usage: . package_session.sh CPACK BUILD_DIR unpacked|system

PKG_CPACK=$1
PKG_BUILD_DIR=$2
PKG_DIR=$(mktemp -d)
chmod 755 "$PKG_DIR"
if [ "$3" = system ]; then ROOT=; else ROOT=$PKG_DIR/root; fi
. "$(dirname "${BASH_SOURCE[0]}")/xvfb_session.sh" "$ROOT/usr/bin/gemeindedaten" \
    "$ROOT/usr/bin/tablewriter" "$ROOT/usr/share/gemeindedaten/gemeinden.csv"
trap 'session_cleanup; rm -rf "$PKG_DIR"' EXIT
MAIN_CAPTION='^Gemeindedaten - Zum Sortieren'
LAUNCHER=$ROOT/usr/lib/gemeindedaten/gemeindedaten-launcher

# The package, from the binaries and pages already built (CPack only installs them).
# Sets DEB.
make_package() {
    (cd "$PKG_BUILD_DIR" && "$PKG_CPACK" --config CPackConfig.cmake -G DEB -B "$PKG_DIR/out") \
        >"$PKG_DIR/cpack.log" 2>&1 || fail "cpack failed: $(tail -n 20 "$PKG_DIR/cpack.log")"
    local debs=("$PKG_DIR"/out/gemeindedaten_*.deb)
    [ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || fail "not one package: ${debs[*]}"
    DEB=${debs[0]}
    echo "package: $(basename "$DEB")"
}

# A new folder with the demo table, named as users name folders: a blank, umlauts,
# quotes and a dash.
new_table_dir() {
    local dir
    dir="$(new_dir)/Radon \"Süd\" – Ölberg's Tabellen"
    mkdir "$dir" && chmod 755 "$dir" || fail "cannot make $dir"
    write_demo_table "$dir"
    echo "$dir"
}

# Starts the launcher in a folder with the given arguments, as the desktop does.
start_launcher() {
    local dir=$1
    shift
    (cd "$dir" && exec env -u QT_QPA_PLATFORM HOME="$TMP_ROOT" XDG_RUNTIME_DIR= \
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}exitcode=86" \
        UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}exitcode=86" \
        "$LAUNCHER" "$@") >"$TMP_ROOT/viewer.log" 2>&1 &
    APP_PID=$!
}

# Types a file name into the launcher's file dialog and accepts it.
pick_in_dialog() {
    local dialog
    dialog=$(wait_window '^Tabelle CD_GIS.DBF') || fail "no file dialog ($(cat "$TMP_ROOT/viewer.log"))"
    focus_window "$dialog"
    xdotool type --delay 20 "$1"
    xdotool key Return
}

# Waits for the main window and checks that the installed viewer runs in the folder.
# Sets VIEWER_WINDOW and VIEWER_PID.
expect_viewer_in() {
    VIEWER_WINDOW=$(wait_window "$MAIN_CAPTION") || fail "no main window ($(cat "$TMP_ROOT/viewer.log"))"
    VIEWER_PID=$(xdotool getwindowpid "$VIEWER_WINDOW") || fail "the main window names no process"
    local cwd exe
    cwd=$(readlink "/proc/$VIEWER_PID/cwd")
    exe=$(readlink "/proc/$VIEWER_PID/exe")
    [ "$cwd" = "$1" ] || fail "the viewer runs in $cwd, not in $1"
    [ "$exe" = "$VIEWER" ] || fail "the program running is $exe, not $VIEWER"
}
