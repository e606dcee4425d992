#!/bin/bash
# The Debian package installed for real (root only) and removed again at the end:
# dpkg's triggers register the desktop entry as a handler of dBASE tables (the
# desktop database and gio), and the entry launched by gio with a table in a folder
# whose name holds a blank, umlauts and quotes starts the installed viewer in that
# folder. After the removal, no handler is left behind.
# Usage: installed_system.sh CPACK BUILD_DIR APP_ID
CPACK=$1
BUILD_DIR=$2
APP_ID=$3
[ "$(id -u)" -eq 0 ] || { echo "SKIP: installing the package needs root"; exit 77; }
for tool in dpkg-deb apt-get gio dbus-run-session; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
if dpkg-query -W -f='${Status}\n' gemeindedaten 2>/dev/null | grep -q ' installed$'; then
    echo "SKIP: gemeindedaten is installed here; this test installs and removes its own package"
    exit 77
fi
. "$(dirname "$0")/package_session.sh" "$CPACK" "$BUILD_DIR" system
make_package

APT=(env DEBIAN_FRONTEND=noninteractive apt-get -y -o DPkg::Lock::Timeout=300)
remove_package() {
    "${APT[@]}" remove gemeindedaten >"$PKG_DIR/remove.log" 2>&1
}
trap 'session_cleanup; remove_package; rm -rf "$PKG_DIR"' EXIT
"${APT[@]}" install --no-install-recommends "$DEB" >"$PKG_DIR/install.log" 2>&1 ||
    fail "apt-get install failed: $(tail -n 20 "$PKG_DIR/install.log")"
entry=/usr/share/applications/$APP_ID.desktop

# The desktop database (a trigger of desktop-file-utils) and gio know the handler.
grep -q "^application/x-dbf=.*$APP_ID\.desktop" /usr/share/applications/mimeinfo.cache ||
    fail "the desktop database does not name $APP_ID.desktop for application/x-dbf"
gio mime application/x-dbf | grep -Eq "^[[:space:]]*$APP_ID\.desktop$" ||
    fail "gio mime does not list $APP_ID.desktop: $(gio mime application/x-dbf)"

# Opened as a file manager opens it.
start_xvfb
dir=$(new_table_dir)
dbus-run-session -- gio launch "$entry" "$dir/CD_GIS.DBF" >"$TMP_ROOT/viewer.log" 2>&1 ||
    fail "gio launch failed: $(cat "$TMP_ROOT/viewer.log")"
expect_viewer_in "$dir"
python3 "$HERE/wm_close.py" "$VIEWER_WINDOW" || fail "cannot send the close request"
for _ in $(seq 200); do
    state=$(ps -o stat= -p "$VIEWER_PID")
    [ -z "$state" ] || [[ $state == Z* ]] && break
    sleep 0.1
done
[ -z "$state" ] || [[ $state == Z* ]] || fail "the viewer still runs after the close request"

remove_package || fail "apt-get remove failed: $(tail -n 20 "$PKG_DIR/remove.log")"
[ ! -e "$entry" ] || fail "$entry is left after the removal"
gio mime application/x-dbf | grep -q "$APP_ID" && fail "gio still lists $APP_ID after the removal"
echo "PASS"
