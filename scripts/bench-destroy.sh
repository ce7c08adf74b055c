#!/usr/bin/env bash
# Runs the destroy and small-files benchmarks on an ext4 image of their own,
# on a loop device with direct I/O (so the writes meet the disk, not the
# host's page cache), and on a tmpfs (needs root); unmounts and detaches
# both afterwards. Prints the machine's load before each run: the figures
# are only as quiet as the machine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null
work=$(mktemp -d /var/tmp/omrek-bench.XXXXXX)
loop=""
cleanup() {
  umount "$work/ext4" 2>/dev/null || true
  umount "$work/tmpfs" 2>/dev/null || true
  if [ -n "$loop" ]; then losetup -d "$loop" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
truncate -s 3G "$work/image"
mkfs.ext4 -q -F -L benchdestroy "$work/image"
mkdir "$work/ext4" "$work/tmpfs"
loop=$(losetup --direct-io=on --find --show "$work/image")
mount "$loop" "$work/ext4"
mount -t tmpfs -o size=3G benchtmpfs "$work/tmpfs"
for fs in ext4 tmpfs; do
  echo "== $fs"
  uptime
  build/bench/omrek_bench_destroy "$work/$fs"
  QT_QPA_PLATFORM=offscreen build/bench/omrek_bench_small_files "$work/$fs"
done
