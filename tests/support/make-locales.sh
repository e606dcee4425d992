#!/bin/sh
# Makes the locales that the locale tests run under in DIR (for LOCPATH), without
# root: localedef from the package "locales" compiles each from its sources. A locale
# made before is kept. One that cannot be made is reported; its tests then skip.
# Usage: make-locales.sh DIR NAME... (e.g. tr_TR.UTF-8)
dir=$1
shift
mkdir -p "$dir" || exit 0
for name in "$@"; do
    [ -f "$dir/$name/LC_CTYPE" ] && continue
    if ! command -v localedef >/dev/null 2>&1; then
        echo "note: localedef is missing (package locales): $name not made"
        continue
    fi
    localedef --no-archive -i "${name%%.*}" -f "${name#*.}" "$dir/$name" ||
        echo "note: the locale $name could not be made in $dir"
done
exit 0
