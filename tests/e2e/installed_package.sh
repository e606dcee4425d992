#!/bin/bash
# The Debian package as a user gets it: made by CPack from this build, free of lintian
# errors and warnings, without maintainer scripts, unpacked with dpkg -x into a fresh
# root (installed_system.sh installs it for real). The installed tablewriter writes
# the demo table from the installed CSV; the entry's launcher, given that table from
# another folder, starts the installed viewer in the table's folder, which shows its
# main window and ends with 0 when it is closed; started without a file, the launcher
# asks for a table and explains a file of another name. The viewer started in an
# empty directory shows the start-up box and ends with 1. Every installed manual
# page renders with man -l without a warning, a tool's page has an entry for every
# option its usage text names, nothing installed points into the build or the source
# tree, the desktop entry and the AppStream metadata pass their validators, and the
# icons have their sizes.
# Usage: installed_package.sh CPACK BUILD_DIR SOURCE_DIR APP_ID
CPACK=$1
BUILD_DIR=$2
SOURCE_DIR=$3
APP_ID=$4
for tool in dpkg-deb lintian man readelf desktop-file-validate appstreamcli file; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
. "$(dirname "$0")/package_session.sh" "$CPACK" "$BUILD_DIR" unpacked
make_package
deb=$DEB

# No error and no warning but the one about uploads to Debian.
lintian --fail-on error "$deb" >"$PKG_DIR/lintian.log" 2>&1
lintian_code=$?
cat "$PKG_DIR/lintian.log"
grep -q '^E: ' "$PKG_DIR/lintian.log" && fail "lintian reports errors"
grep '^W: ' "$PKG_DIR/lintian.log" | grep -Ev ' initial-upload-closes-no-bugs( |$)' && fail "lintian warns"
[ "$lintian_code" -eq 0 ] || fail "lintian ended with $lintian_code"
# dpkg's triggers register the desktop files; the package brings no scripts of its own.
scripts=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -Ev '^\./$|^\./(control|md5sums)$')
[ -z "$scripts" ] || fail "the package has maintainer files: $scripts"

# The libraries from dpkg-shlibdeps and the packages the window needs besides.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for need in libc6 libqt6core6 libqt6gui6 libqt6widgets6 fonts-dejavu-core fonts-dejavu-extra \
    qt6-translations-l10n; do
    [[ ", $depends," == *", $need "* || ", $depends," == *", $need,"* ]] || fail "Depends lacks $need"
done

dpkg -x "$deb" "$ROOT" || fail "dpkg -x failed"
entry=usr/share/applications/$APP_ID.desktop
metainfo=usr/share/metainfo/$APP_ID.metainfo.xml
for file in usr/share/gemeindedaten/gemeinden.csv "$entry" "$metainfo" \
    "usr/share/icons/hicolor/scalable/apps/$APP_ID.svg" \
    usr/share/doc/gemeindedaten/README.md usr/share/doc/gemeindedaten/copyright \
    usr/share/doc/gemeindedaten/changelog.Debian.gz; do
    [ -f "$ROOT/$file" ] || fail "the package lacks /$file"
done
for size in 16 22 24 32 48 64 128 256; do
    icon=$ROOT/usr/share/icons/hicolor/${size}x$size/apps/$APP_ID.png
    file "$icon" | grep -q "PNG image data, $size x $size," || fail "no ${size}x$size icon: $(file "$icon")"
done
for program in gemeindedaten tablewriter tabledump; do
    [ -x "$ROOT/usr/bin/$program" ] || fail "the package lacks /usr/bin/$program"
done
for program in "$ROOT"/usr/bin/*; do
    [ -f "$ROOT/usr/share/man/man1/$(basename "$program").1.gz" ] ||
        fail "no manual page for $(basename "$program")"
done
for program in "$ROOT"/usr/bin/* "$LAUNCHER"; do
    readelf -d "$program" | grep -Eq 'RPATH|RUNPATH' && fail "$(basename "$program") has a library path"
    ldd "$program" | grep -Fe "$BUILD_DIR" -e "$SOURCE_DIR" && fail "$(basename "$program") loads from the tree"
done

# The desktop entry: valid, started through the installed launcher with the file.
desktop-file-validate "$ROOT/$entry" >"$PKG_DIR/validate.log" 2>&1 ||
    fail "desktop-file-validate: $(cat "$PKG_DIR/validate.log")"
[ ! -s "$PKG_DIR/validate.log" ] || fail "desktop-file-validate: $(cat "$PKG_DIR/validate.log")"
grep -qx 'Exec=/usr/lib/gemeindedaten/gemeindedaten-launcher %f' "$ROOT/$entry" || fail "Exec: $(grep ^Exec= "$ROOT/$entry")"
grep -qx "Icon=$APP_ID" "$ROOT/$entry" || fail "the entry names another icon"
# The metadata: no error, and a release for the package's version.
appstreamcli validate --no-net "$ROOT/$metainfo" >"$PKG_DIR/appstream.log" 2>&1 ||
    fail "appstreamcli validate: $(cat "$PKG_DIR/appstream.log")"
cat "$PKG_DIR/appstream.log"
grep -q "<release version=\"$(dpkg-deb -f "$deb" Version | sed 's/-[^-]*$//')\" date=" "$ROOT/$metainfo" ||
    fail "the metadata has no release of this version"
# (Programs may carry source file names in their messages; the other files may not.)
grep -rlFe "$BUILD_DIR" -e "$SOURCE_DIR" "$ROOT/usr/share" && fail "installed files name the build or source tree"

# Each page as man shows it, in a UTF-8 and in the plain C locale: no warning.
for page in "$ROOT"/usr/share/man/man*/*; do
    name=$(basename "$page" .gz)
    for locale in C.UTF-8 C; do
        shown=$(LC_ALL=$locale MANWIDTH=80 man --warnings -l "$page" 2>"$PKG_DIR/man.err") ||
            fail "man -l $name failed: $(cat "$PKG_DIR/man.err")"
        [ ! -s "$PKG_DIR/man.err" ] || fail "man -l $name ($locale) warns: $(cat "$PKG_DIR/man.err")"
        head -n 1 <<<"$shown" | grep -q "^${name%.*}(${name##*.})" || fail "man -l $name shows no title line"
        grep -q '^BEZEICHNUNG' <<<"$shown" || fail "man -l $name shows no BEZEICHNUNG section"
    done
done
# Every option that a tool's usage text names has its entry under OPTIONEN.
for program in tablewriter tabledump; do
    options=$("$ROOT/usr/bin/$program" 2>&1 | grep -o -- '--[a-z][a-z-]*' | sort -u)
    [ -n "$options" ] || fail "$program names no option in its usage text"
    section=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$ROOT/usr/share/man/man1/$program.1.gz" 2>/dev/null |
        sed -n '/^OPTIONEN/,/^[^ ]/p')
    for option in $options; do
        grep -Eq -- "^ +$option( |$)" <<<"$section" || fail "man $program has no entry for $option"
    done
done

start_xvfb
dir=$(new_table_dir)
(cd "$dir" && "$ROOT/usr/bin/tabledump" --info CD_GIS.DBF) >"$PKG_DIR/info.txt" ||
    fail "the installed tabledump cannot read the table"
grep -q '^  KLEINGEM (CD_GIS.MDX)' "$PKG_DIR/info.txt" || fail "the written table has no KLEINGEM tag"

# Opened from a file manager: the viewer starts in the table's folder.
start_launcher / "$dir/CD_GIS.DBF"
expect_viewer_in "$dir"
[ "$VIEWER_PID" = "$APP_PID" ] || fail "the launcher did not hand over to the viewer"
[ -z "$(xdotool search --name '^Anwendungsfehler$' 2>/dev/null)" ] || fail "error box shown"
python3 "$HERE/wm_close.py" "$VIEWER_WINDOW" || fail "cannot send the close request"
wait_exit || fail "program still running after the close request"
[ "$APP_CODE" -eq 0 ] || fail "exit code $APP_CODE after closing, expected 0"

# A file of another name from a file manager: the box explains, its default button
# leads to the choice, and the table picked there opens.
: >"$dir/Gemeinden.dbf"
start_launcher / "$dir/Gemeinden.dbf"
box=$(wait_window '^Gemeindedaten$') || fail "no box for a file of another name ($(cat "$TMP_ROOT/viewer.log"))"
focus_window "$box"
xdotool key Return
pick_in_dialog CD_GIS.DBF
expect_viewer_in "$dir"
python3 "$HERE/wm_close.py" "$VIEWER_WINDOW" || fail "cannot send the close request"
wait_exit || fail "program still running after the close request"
[ "$APP_CODE" -eq 0 ] || fail "exit code $APP_CODE after closing, expected 0"

# From the menu, without a file: the choice at once; cancelled, nothing more.
empty=$(new_dir)
start_launcher "$empty"
dialog=$(wait_window '^Tabelle CD_GIS.DBF') || fail "no file dialog ($(cat "$TMP_ROOT/viewer.log"))"
focus_window "$dialog"
xdotool key Escape
wait_exit || fail "the launcher still runs after the choice was cancelled"
[ "$APP_CODE" -eq 0 ] || fail "exit code $APP_CODE after cancelling, expected 0"
[ ! -e "$TMP_ROOT/.config/QtProject.conf" ] || fail "the launcher kept settings: $(cat "$TMP_ROOT/.config/QtProject.conf")"

start_viewer_in "$empty"
box=$(wait_window '^Anwendungsfehler$') || fail "no Anwendungsfehler box ($(cat "$TMP_ROOT/viewer.log"))"
[ -z "$(xdotool search --name "$MAIN_CAPTION" 2>/dev/null)" ] || fail "main window shown"
focus_window "$box"
xdotool key Return
wait_exit || fail "program still running after the box was answered"
[ "$APP_CODE" -eq 1 ] || fail "exit code $APP_CODE without a table, expected 1"
[ -z "$(ls -A "$empty")" ] || fail "files written: $(ls -A "$empty")"
echo "PASS"
