#!/bin/sh
# Installs every Debian package the build, the program and the tests need, and
# the comma-decimal locale de_DE.UTF-8 that the locale tests run under.
#
#   install-packages.sh                  update the package lists, install all
#   install-packages.sh --missing-only   install only what dpkg-query does not
#                                        report as installed; needs neither root
#                                        nor the network when nothing is missing
set -eu
export DEBIAN_FRONTEND=noninteractive

packages="cmake ninja-build g++ make pkg-config
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev qt6-translations-l10n qt6-qpa-plugins
  fonts-noto-cjk fontconfig
  libgtest-dev libbenchmark-dev
  libeigen3-dev libboost-math-dev
  python3 xvfb xauth x11-utils imagemagick xclip strace xdotool poppler-utils
  locales
  qt6-svg-dev gzip dpkg-dev desktop-file-utils appstream man-db
  zlib1g-dev python3-openpyxl"

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=""
if [ "${1:-}" = "--missing-only" ]; then
  for p in $packages; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    [ "$status" = "installed" ] || missing="$missing $p"
  done
else
  missing=$packages
fi

if [ -n "$missing" ]; then
  as_root apt-get update
  # shellcheck disable=SC2086
  as_root apt-get install -y --no-install-recommends $missing
fi

if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  as_root localedef -i de_DE -c -f UTF-8 de_DE.UTF-8
fi
