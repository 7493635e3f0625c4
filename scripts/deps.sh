#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build, the tests and the demo need and is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev libqt5svg5-dev qt5-image-formats-plugins
    libqt5sql5-sqlite sqlite3
    libudev-dev libgsf-1-dev libxlsxwriter-dev
    libqcustomplot-dev libqwt-qt5-dev
    libmosquitto-dev mosquitto mosquitto-clients
    g++-mingw-w64-x86-64-posix
    python3 python3-xlrd python3-openpyxl gnumeric poppler-utils
    clang clang-format libclang-rt-14-dev valgrind
    xvfb xauth
    dpkg-dev file appstream desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
