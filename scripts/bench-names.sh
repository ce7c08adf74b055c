#!/usr/bin/env bash
# bench-names.sh [FILES] [ROUNDS]: destroys FILES small files (1 to 8 KiB,
# default 2000) with one zero pass from the command line, names wiped and
# names kept, beside `shred -n0 -z -u`, on an ext4 image of its own (loop
# device) and on a tmpfs; prints the median seconds of ROUNDS (default 3)
# and files per second. Needs root; unmounts and removes both afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
files=${1:-2000}
rounds=${2:-3}
scripts/build.sh >/dev/null
program=$PWD/build/omrek
work=$(mktemp -d /var/tmp/omrek-bench-names.XXXXXX)
trap 'umount "$work/ext4" 2>/dev/null || true; umount "$work/tmpfs" 2>/dev/null || true; rm -rf "$work"' EXIT
truncate -s 1G "$work/image"
mkfs.ext4 -q -F -L benchnames "$work/image"
mkdir "$work/ext4" "$work/tmpfs"
mount -o loop "$work/image" "$work/ext4"
mount -t tmpfs -o size=1G benchtmpfs "$work/tmpfs"
one_zero_pass="[FileMode]\nDOD=0\nInversion=0\nRandomize=0\nNullify1=1\nNullify2=0\nNullifyCustom=0\n"
printf "$one_zero_pass[Options]\nWipeNames=1\n" >"$work/wiped.ini"
printf "$one_zero_pass[Options]\nWipeNames=0\n" >"$work/kept.ini"

make_files() {
  rm -rf "$1/files" && mkdir "$1/files"
  for ((i = 0; i < files; i++)); do
    head -c $((1024 + i * 977 % 7169)) /dev/zero | tr '\0' k >"$1/files/quarterly-figures-$i.txt"
  done
  sync
}

# Seconds the command took over the files, made afresh and flushed first.
seconds_of() {
  local folder=$1
  shift
  make_files "$folder"
  local start end
  start=$(date +%s.%N)
  (cd "$folder/files" && "$@" -- * >/dev/null 2>&1)
  end=$(date +%s.%N)
  awk "BEGIN { print $end - $start }"
}

declare -A labels=([wiped]="omrek, names wiped" [kept]="omrek, names kept" [shred]="shred -n0 -z -u")

median() { sort -g | sed -n "$(((rounds + 1) / 2))p"; }

for fs in ext4 tmpfs; do
  echo "== $fs: $files files of 1-8 KiB, one zero pass, median of $rounds"
  for way in wiped kept shred; do
    case $way in
      wiped) command=("$program" --destroy --settings "$work/wiped.ini") ;;
      kept) command=("$program" --destroy --settings "$work/kept.ini") ;;
      shred) command=(shred -n0 -z -u) ;;
    esac
    taken=$(for ((r = 0; r < rounds; r++)); do seconds_of "$work/$fs" "${command[@]}"; done | median)
    awk -v way="${labels[$way]}" -v taken="$taken" -v files="$files" \
      'BEGIN { printf "%-24s %7.2f s %8.0f files/s\n", way, taken, files / taken }'
  done
done
