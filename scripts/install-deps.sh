#!/usr/bin/env bash
# install-deps.sh [--tests]: installs the Debian packages Omrek needs to
# build and run, and with --tests also those its tests use. Nothing when all
# are there; through sudo when not root. Without root and without sudo it
# prints the command to run and stops. dpkg-dev is needed for the build
# itself: its dpkg-buildflags decides at the first configure whether the
# program is built hardened, and a build tree keeps that answer.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  dpkg-dev
  qt6-base-dev
  libblkid-dev libjpeg-dev libsdl2-dev libsimpleini-dev
  fonts-liberation
  xvfb xdotool x11-utils imagemagick
)
test_packages=(
  libgtest-dev
  e2fsprogs xfsprogs mount util-linux btrfs-progs libfuse3-dev fuse3 bindfs
  desktop-file-utils appstream man-db file lintian strace
)
[[ "${1:-}" == "--tests" ]] && packages+=("${test_packages[@]}")

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

command=(apt-get install -y --no-install-recommends "${missing[@]}")
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  if ! command -v sudo >/dev/null; then
    echo "Missing Debian packages. As root, run:" >&2
    echo "  apt-get update && ${command[*]}" >&2
    exit 1
  fi
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" "${command[@]}" -qq
