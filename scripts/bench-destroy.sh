#!/usr/bin/env bash
# Runs the destroy and small-files benchmarks on an ext4 image of their own,
# mounted through a loop device, and on a tmpfs (needs root); unmounts and
# removes both afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null
work=$(mktemp -d /var/tmp/omrek-bench.XXXXXX)
trap 'umount "$work/ext4" 2>/dev/null || true; umount "$work/tmpfs" 2>/dev/null || true; rm -rf "$work"' EXIT
truncate -s 3G "$work/image"
mkfs.ext4 -q -F -L benchdestroy "$work/image"
mkdir "$work/ext4" "$work/tmpfs"
mount -o loop "$work/image" "$work/ext4"
mount -t tmpfs -o size=3G benchtmpfs "$work/tmpfs"
for fs in ext4 tmpfs; do
  echo "== $fs"
  build/bench/omrek_bench_destroy "$work/$fs"
  QT_QPA_PLATFORM=offscreen build/bench/omrek_bench_small_files "$work/$fs"
done
