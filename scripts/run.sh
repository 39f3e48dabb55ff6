#!/usr/bin/env bash
# Starts the program from the build folder given as $1.
set -euo pipefail
build=${1:-build}
exec "$build/src/app/tarnw"
