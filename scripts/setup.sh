#!/bin/sh
# Installs the Debian 12 packages that building, running, testing and
# packaging BrindleForge need, and nothing else. Safe to run again: when
# every package is already present it only asks dpkg and returns.
#
#   scripts/setup.sh          for a build with Qt 5 (the default build)
#   scripts/setup.sh 6        for a build with Qt 6 (-DBRINDLEFORGE_QT_MAJOR=6)
#   scripts/setup.sh 5 6      for both (scripts/build-and-test.sh)
set -eu

qt5="qtbase5-dev qtbase5-dev-tools"
# Qt 6's offscreen and xcb platforms and its JPEG reader are in libqt6gui6,
# which qt6-base-dev brings.
qt6="qt6-base-dev qt6-base-dev-tools"

# dpkg-dev and file: dpkg-shlibdeps and file, which "cpack -G DEB" runs to
# find the package's dependencies. groff-base: the manual page test renders
# the page. lintian: the package test checks the .deb with it. zsh and
# bash-completion: the completion tests run both shells' scripts.
# clang-format: the test script fails on code it would change.
# libstb-dev: stb_image_resize.h, which resamples for --resize and --fit.
# librsvg2-dev: librsvg and cairo, which render SVG sources (it brings
# libcairo2-dev).
# libwebp-dev and libgif-dev: the WebP and GIF input kinds decode with
# libwebp (and its demuxer, for animations) and giflib.
# libpng-dev and libjpeg62-turbo-dev: the PNG and JPEG decoders read sources
# through libpng and libjpeg-turbo directly.
packages="
    build-essential
    cmake
    zlib1g-dev
    libpng-dev libjpeg62-turbo-dev
    libimagequant-dev
    liblz4-dev
    libstb-dev
    librsvg2-dev
    libwebp-dev
    libgif-dev
    pkg-config
    fonts-wqy-microhei
    fonts-liberation
    libbenchmark-dev
    xvfb
    xauth
    dpkg-dev
    file
    groff-base
    lintian
    zsh
    bash-completion
    clang-format
"

[ $# -eq 0 ] && set -- 5
for major in "$@"; do
    case $major in
    5) packages="$packages $qt5" ;;
    6) packages="$packages $qt6" ;;
    *)
        echo "setup.sh: Qt major version 5 or 6, not '$major'" >&2
        exit 2
        ;;
    esac
done

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
