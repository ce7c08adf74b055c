#!/usr/bin/env bash
# Runs the free-space benchmark on an ext4 image of its own (SIZE, 256M by
# default), attached to a loop device with direct I/O, so that writes reach
# the disk under it and not the page cache, and mounted (needs root). The
# image, its device and its mount go afterwards. ROUNDS: rounds per figure.
set -euo pipefail
cd "$(dirname "$0")/.."
[[ -d build ]] || scripts/build.sh >/dev/null
cmake --build build --target omrek_bench_free_space >/dev/null
work=$(mktemp -d "${TMPDIR:-/var/tmp}/omrek-bench.XXXXXX")
device=""
cleanup() {
  umount "$work/mnt" 2>/dev/null || true
  if [[ -n "$device" ]]; then losetup -d "$device"; fi
  rm -rf "$work"
}
trap cleanup EXIT
truncate -s "${SIZE:-256M}" "$work/image"
mkfs.ext4 -q -F -L benchwipe "$work/image"
device=$(losetup --find --show --direct-io=on "$work/image")
echo "$device, direct I/O: $(cat "/sys/block/${device#/dev/}/loop/dio")"
mkdir "$work/mnt"
mount "$device" "$work/mnt"
build/bench/omrek_bench_free_space "$work/mnt" "${ROUNDS:-3}"
echo "load: $(uptime)"
