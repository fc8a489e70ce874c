#!/usr/bin/env bash
# Installs with apt-get whatever a fresh Debian 12 machine lacks to build, run and test Lindquest.
# Packages already present are skipped.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config locales
  qt6-base-dev libsqlite3-dev sqlite3 libmpg123-dev libsdl2-dev libjpeg62-turbo-dev libxtst-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-wine fonts-dejavu-core
  espeak-ng lame sox
  xvfb xauth openbox pulseaudio pulseaudio-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
