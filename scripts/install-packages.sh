#!/bin/sh
# Installs every Debian package the build, the program and the tests need.
set -eu
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends \
  cmake ninja-build g++ make pkg-config \
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev qt6-translations-l10n qt6-qpa-plugins \
  fonts-noto-cjk fontconfig \
  libgtest-dev libbenchmark-dev \
  python3 xvfb xauth x11-utils imagemagick xclip strace
