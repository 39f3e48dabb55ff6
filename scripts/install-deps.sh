#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, run and test.
# Idempotent: packages already present are skipped, and apt is only touched when something is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-base-dev-tools libqt6printsupport6 libqt6opengl6-dev libgl-dev
    qt6-qpa-plugins libxkbcommon-dev
    libgtest-dev libgmock-dev googletest
    libsqlite3-dev sqlite3
    fonts-liberation2 fontconfig
    xvfb xauth x11-apps imagemagick
    openbox
    cups cups-client cups-bsd cups-filters
    poppler-utils
    libdbd-xbase-perl gdal-bin python3-dbf
    clang-format
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
