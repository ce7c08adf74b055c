#!/usr/bin/env bash
# Runs the free-space benchmark on a 256 MiB ext4 image of its own, mounted
# through a loop device (needs root), and removes the image afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null
work=$(mktemp -d)
trap 'umount "$work/mnt" 2>/dev/null || true; rm -rf "$work"' EXIT
truncate -s 256M "$work/image"
mkfs.ext4 -q -F -L benchwipe "$work/image"
mkdir "$work/mnt"
mount -o loop "$work/image" "$work/mnt"
build/bench/omrek_bench_free_space "$work/mnt"
