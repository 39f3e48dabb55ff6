#!/usr/bin/env bash
# Starts the services the tests need; each step is idempotent.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ -x "$here/setup-cups.sh" ]; then
    bash "$here/setup-cups.sh"
fi
