#!/usr/bin/env bash
# Starts CUPS with a PDF printer queue that the printing tests use as the default printer.
# Jobs arrive as PDF files in $TARNW_PDF_DIR (default /var/spool/tarnw-pdf). Idempotent.
# Needs root (CI runs as root); without it, it says so and leaves the machine alone.
set -euo pipefail
queue=TarnwPDF
outdir=${TARNW_PDF_DIR:-/var/spool/tarnw-pdf}
if [ "$(id -u)" != 0 ]; then
    echo "setup-cups: not root, printer queue left as it is" >&2
    exit 0
fi
if ! command -v cupsd >/dev/null || [ ! -f /etc/cups/cups-pdf.conf ]; then
    echo "setup-cups: cups or cups-pdf missing (scripts/install-deps.sh installs them)" >&2
    exit 0
fi
mkdir -p "$outdir"
chmod 1777 "$outdir"
conf=/etc/cups/cups-pdf.conf
for key in Out AnonDirName; do
    if grep -q "^$key $outdir\$" "$conf"; then continue; fi
    sed -i "/^#\?$key /d" "$conf"
    echo "$key $outdir" >>"$conf"
done
if ! lpstat -r 2>/dev/null | grep -q "is running"; then
    # No service manager is assumed: start the scheduler directly.
    cupsd
    for _ in $(seq 1 50); do
        lpstat -r 2>/dev/null | grep -q "is running" && break
        sleep 0.2
    done
fi
if ! lpstat -p "$queue" >/dev/null 2>&1; then
    lpadmin -p "$queue" -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
fi
cupsenable "$queue" 2>/dev/null || true
cupsaccept "$queue" 2>/dev/null || true
lpadmin -d "$queue"
