#!/bin/sh
# Installs the Debian 12 packages that building, running and testing
# BrindleForge need, and nothing else. Safe to run again: when every
# package is already present it only asks dpkg and returns.
set -eu

packages="
    build-essential
    cmake
    qtbase5-dev
    qtbase5-dev-tools
    zlib1g-dev
    libimagequant-dev
    liblz4-dev
    pkg-config
    fonts-wqy-microhei
    fonts-liberation
    libbenchmark-dev
    xvfb
    xauth
"

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "setup.sh: missing packages:$missing" >&2
    echo "setup.sh: run as root (or install them with sudo apt-get install$missing)" >&2
    exit 1
fi

echo "setup.sh: installing$missing" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
# shellcheck disable=SC2086
apt-get install -y -q --no-install-recommends $missing
