#!/usr/bin/env bash
# Starts CUPS with a PDF printer queue that the printing tests use as the default printer.
# The queue takes the jobs through the CUPS PDF filters and its backend (cups-backend-tarnwpdf)
# keeps each job's document, unchanged, as <title>-job_<id>.pdf in $TARNW_PDF_DIR (default
# /var/spool/tarnw-pdf), so a printed job can be compared with what was sent. A second queue,
# TarnwPDF2, keeps its jobs in the folder "second" inside it: the tests choose it to see that a
# chosen printer is the one printed on. Idempotent.
# Needs root (CI runs as root); without it, it says so and leaves the machine alone.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
queue=TarnwPDF
outdir=${TARNW_PDF_DIR:-/var/spool/tarnw-pdf}
ppd=/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd
backend=/usr/lib/cups/backend/tarnwpdf
if [ "$(id -u)" != 0 ]; then
    echo "setup-cups: not root, printer queue left as it is" >&2
    exit 0
fi
if ! command -v cupsd >/dev/null || [ ! -f "$ppd" ]; then
    echo "setup-cups: cups or cups-filters missing (scripts/install-deps.sh installs them)" >&2
    exit 0
fi
mkdir -p "$outdir/second"
chmod 1777 "$outdir" "$outdir/second"
# CUPS runs a backend that is not mode 0700 as its unprivileged user; the folder is open to it.
if ! cmp -s "$here/cups-backend-tarnwpdf" "$backend"; then
    install -m 0755 "$here/cups-backend-tarnwpdf" "$backend"
fi
if ! lpstat -r 2>/dev/null | grep -q "is running"; then
    # No service manager is assumed: start the scheduler directly.
    cupsd
    for _ in $(seq 1 50); do
        lpstat -r 2>/dev/null | grep -q "is running" && break
        sleep 0.2
    done
fi
define_queue() { # name folder
    if ! lpstat -v "$1" 2>/dev/null | grep -q "tarnwpdf:$2\$"; then
        # New, or an older queue on another backend: (re)define it.
        lpadmin -p "$1" -E -v "tarnwpdf:$2" -P "$ppd" 2>/dev/null
    fi
    cupsenable "$1" 2>/dev/null || true
    cupsaccept "$1" 2>/dev/null || true
}
define_queue "$queue" "$outdir"
define_queue "${queue}2" "$outdir/second"
lpadmin -d "$queue"
