#!/bin/bash
# The Debian package as a user gets it: made by CPack from this build, free of lintian
# errors, unpacked with dpkg -x into a fresh root. The installed tablewriter writes
# the demo table from the installed CSV; the installed viewer started in that
# directory shows its main window and ends with 0 when it is closed, started in an
# empty directory it shows the start-up box and ends with 1. Every installed manual
# page renders with man -l without a warning, a tool's page has an entry for every
# option its usage text names, and nothing installed points into the build or the
# source tree.
# Usage: installed_package.sh CPACK BUILD_DIR SOURCE_DIR
CPACK=$1
BUILD_DIR=$2
SOURCE_DIR=$3
for tool in dpkg-deb lintian man readelf; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done

PKG_DIR=$(mktemp -d)
chmod 755 "$PKG_DIR"
ROOT=$PKG_DIR/root
. "$(dirname "$0")/xvfb_session.sh" "$ROOT/usr/bin/gemeindedaten" "$ROOT/usr/bin/tablewriter" \
    "$ROOT/usr/share/gemeindedaten/gemeinden.csv"
trap 'session_cleanup; rm -rf "$PKG_DIR"' EXIT
MAIN_CAPTION='^Gemeindedaten - Zum Sortieren'

# The package, from the binaries and pages already built (CPack only installs them).
(cd "$BUILD_DIR" && "$CPACK" --config CPackConfig.cmake -G DEB -B "$PKG_DIR/out") \
    >"$PKG_DIR/cpack.log" 2>&1 || fail "cpack failed: $(tail -n 20 "$PKG_DIR/cpack.log")"
debs=("$PKG_DIR"/out/gemeindedaten_*.deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || fail "not one package: ${debs[*]}"
deb=${debs[0]}
echo "package: $(basename "$deb")"

lintian --fail-on error "$deb" >"$PKG_DIR/lintian.log" 2>&1
lintian_code=$?
cat "$PKG_DIR/lintian.log"
grep -q '^E: ' "$PKG_DIR/lintian.log" && fail "lintian reports errors"
[ "$lintian_code" -eq 0 ] || fail "lintian ended with $lintian_code"

# The libraries from dpkg-shlibdeps and the packages the window needs besides.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for need in libc6 libqt6core6 libqt6gui6 libqt6widgets6 fonts-dejavu-core fonts-dejavu-extra \
    qt6-translations-l10n; do
    [[ ", $depends," == *", $need "* || ", $depends," == *", $need,"* ]] || fail "Depends lacks $need"
done

dpkg -x "$deb" "$ROOT" || fail "dpkg -x failed"
for file in usr/share/gemeindedaten/gemeinden.csv usr/share/icons/hicolor/32x32/apps/gemeindedaten.png \
    usr/share/doc/gemeindedaten/README.md usr/share/doc/gemeindedaten/copyright \
    usr/share/doc/gemeindedaten/changelog.Debian.gz; do
    [ -f "$ROOT/$file" ] || fail "the package lacks /$file"
done
for program in gemeindedaten tablewriter tabledump; do
    [ -x "$ROOT/usr/bin/$program" ] || fail "the package lacks /usr/bin/$program"
done
for program in "$ROOT"/usr/bin/*; do
    [ -f "$ROOT/usr/share/man/man1/$(basename "$program").1.gz" ] ||
        fail "no manual page for $(basename "$program")"
    readelf -d "$program" | grep -Eq 'RPATH|RUNPATH' && fail "$(basename "$program") has a library path"
    ldd "$program" | grep -Fe "$BUILD_DIR" -e "$SOURCE_DIR" && fail "$(basename "$program") loads from the tree"
done
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
dir=$(new_dir)
write_demo_table "$dir"
(cd "$dir" && "$ROOT/usr/bin/tabledump" --info CD_GIS.DBF) >"$PKG_DIR/info.txt" ||
    fail "the installed tabledump cannot read the table"
grep -q '^  KLEINGEM (CD_GIS.MDX)' "$PKG_DIR/info.txt" || fail "the written table has no KLEINGEM tag"
start_viewer_in "$dir"
win=$(wait_window "$MAIN_CAPTION") || fail "no main window ($(cat "$TMP_ROOT/viewer.log"))"
[ -z "$(xdotool search --name '^Anwendungsfehler$' 2>/dev/null)" ] || fail "error box shown"
python3 "$HERE/wm_close.py" "$win" || fail "cannot send the close request"
wait_exit || fail "program still running after the close request"
[ "$APP_CODE" -eq 0 ] || fail "exit code $APP_CODE after closing, expected 0"

empty=$(new_dir)
start_viewer_in "$empty"
box=$(wait_window '^Anwendungsfehler$') || fail "no Anwendungsfehler box ($(cat "$TMP_ROOT/viewer.log"))"
[ -z "$(xdotool search --name "$MAIN_CAPTION" 2>/dev/null)" ] || fail "main window shown"
xdotool windowfocus --sync "$box" 2>/dev/null || xdotool windowfocus "$box"
xdotool key Return
wait_exit || fail "program still running after the box was answered"
[ "$APP_CODE" -eq 1 ] || fail "exit code $APP_CODE without a table, expected 1"
[ -z "$(ls -A "$empty")" ] || fail "files written: $(ls -A "$empty")"
echo "PASS"
