#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages needed to build, run, test and package the program.
# Runs apt-get through sudo when not started as root.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-serialport-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins libgl-dev
  libqcustomplot-dev libqcustomplot2.1-qt6
  googletest libgtest-dev libbenchmark-dev
  fonts-dejavu-core xdg-utils xvfb xauth poppler-utils imagemagick xdotool matchbox-window-manager
  clang libclang-rt-14-dev
  dpkg-dev file lintian desktop-file-utils appstream strace librsvg2-bin
  prometheus libsystemd-dev systemd
  dbus-daemon
  libmosquitto-dev mosquitto mosquitto-clients influxdb openssl
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
