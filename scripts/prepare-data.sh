#!/usr/bin/env bash
# prepare-data.sh DIR TEMPLATEDIR
# Makes DIR a data directory the program can start on: copies the built table templates
# (*.~DB, *.~DT from TEMPLATEDIR, e.g. build/templates) into it. The program's start-up check
# then creates every missing table, memo and index file from them. Tables already in DIR are
# never touched; templates there are replaced by the built ones. Idempotent.
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 DIR TEMPLATEDIR" >&2
    exit 2
fi
dir=$1
templates=$2

shopt -s nullglob
files=("$templates"/*.~DB "$templates"/*.~DT)
if [ ${#files[@]} -eq 0 ]; then
    echo "$0: no templates in $templates (build the project first)" >&2
    exit 1
fi

mkdir -p "$dir"
for f in "${files[@]}"; do
    name=$(basename "$f")
    # Copy beside the target and rename, so a running program never sees half a template.
    cp "$f" "$dir/.$name.part"
    mv -f "$dir/.$name.part" "$dir/$name"
done
