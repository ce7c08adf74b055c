#!/usr/bin/env bash
# Installs the Debian packages Omrek needs to build, run and test: nothing
# when all are there, through sudo when not root.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev
  libblkid-dev libjpeg62-turbo-dev libsdl2-dev libsimpleini-dev
  libgtest-dev
  fonts-liberation
  xvfb xdotool x11-utils imagemagick
  e2fsprogs mount util-linux
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
