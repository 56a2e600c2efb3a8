#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Pellam need.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config git
  libsqlite3-dev sqlite3 libxkbcommon-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  qt6-base-dev qt6-multimedia-dev libx11-dev libxcb1-dev
  xvfb xauth x11-apps imagemagick poppler-utils
  groff-base desktop-file-utils
)
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${packages[@]}"
