#!/usr/bin/env bash
# run.sh [BUILD]: starts the program from the build folder BUILD (default: build) on a ready
# data directory. The data directory is the "Path" of the [Drive] section of TARNW.INI when the
# settings file names one; otherwise the program runs in $XDG_DATA_HOME/tarnwick (by default
# ~/.local/share/tarnwick), which becomes its current directory. A data directory without
# templates gets the built ones; the help file and the quick-start document are put beside them.
# Tables already there are never touched: the program itself creates missing tables, memo and
# index files from the templates when it starts.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
config=${XDG_CONFIG_HOME:-$HOME/.config}
ini=$config/TARNW.INI

path=""
if [ -f "$ini" ]; then
    # The Path key of the [Drive] section, sections and keys matched without regard to case.
    path=$(awk -F= '
        /^[ \t]*\[/ { drive = (tolower($0) ~ /^[ \t]*\[drive\]/) ; next }
        drive && tolower($1) ~ /^[ \t]*path[ \t]*$/ { sub(/^[^=]*=[ \t]*/, ""); print; exit }
    ' "$ini" | tr -d '\r' | tr '\\' '/')
fi
if [ -n "$path" ]; then
    data=$path
else
    data=${XDG_DATA_HOME:-$HOME/.local/share}/tarnwick
fi

if ! ls "$data"/*.~DB >/dev/null 2>&1; then
    bash "$here/scripts/prepare-data.sh" "$data" "$build/templates"
fi
for f in TARNW.HLP quick.doc; do
    if [ ! -f "$data/$f" ] || [ "$here/data/$f" -nt "$data/$f" ]; then
        cp "$here/data/$f" "$data/$f"
    fi
done

cd "$data"
exec "$here/$build/src/app/tarnw" "$@"
