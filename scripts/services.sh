#!/usr/bin/env bash
# Starts the services the tests need; each step is idempotent.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ -x "$here/setup-cups.sh" ]; then
    bash "$here/setup-cups.sh"
fi
# A third PDF queue whose paper is A4 (the others keep the PPD's Letter): the tests lay reports
# out on the current printer's sheet with it. Its jobs are kept in the folder "a4".
if [ "$(id -u)" = 0 ] && command -v lpadmin >/dev/null \
    && lpstat -r 2>/dev/null | grep -q "is running"; then
    ppd=/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd
    a4dir=${TARNW_PDF_DIR:-/var/spool/tarnw-pdf}/a4
    if [ -f "$ppd" ] && [ -x /usr/lib/cups/backend/tarnwpdf ]; then
        mkdir -p "$a4dir"
        chmod 1777 "$a4dir"
        if ! lpstat -v TarnwA4 2>/dev/null | grep -q "tarnwpdf:$a4dir\$"; then
            lpadmin -p TarnwA4 -E -v "tarnwpdf:$a4dir" -P "$ppd" 2>/dev/null
        fi
        lpadmin -p TarnwA4 -o PageSize=A4 -o media-default=iso_a4_210x297mm 2>/dev/null
        cupsenable TarnwA4 2>/dev/null || true
        cupsaccept TarnwA4 2>/dev/null || true
    fi
fi
