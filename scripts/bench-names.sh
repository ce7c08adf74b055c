#!/usr/bin/env bash
# bench-names.sh [FILES] [ROUNDS] [LARGE] [EXT4_FILES]: destroys FILES small
# files (1 to 8 KiB, default 2000; EXT4_FILES on ext4, default FILES: there
# `shred -u` flushes the folder after each of its renames, which takes long
# on a loop device with direct I/O) with one zero pass from the command line, names wiped
# and names kept, beside `shred -n0 -z -u` and `shred -n0 -z --remove=unlink`
# (which keeps names too), on an ext4 image of its own (loop device with
# direct I/O) and on a tmpfs; the ways take turns in an order rotated each
# round. Then names kept on the tmpfs over LARGE files (default 50000)
# against 10000, and a command-line run with nothing to do (--recover).
# Prints median seconds of ROUNDS (default 3), files per second and the
# ratios the figures are judged by. Needs root; unmounts and removes all.
set -euo pipefail
cd "$(dirname "$0")/.."
files=${1:-2000}
rounds=${2:-3}
large=${3:-50000}
ext4_files=${4:-$files}
[[ -x build/omrek ]] || scripts/build.sh >/dev/null
program=$PWD/build/omrek
work=$(mktemp -d /var/tmp/omrek-bench-names.XXXXXX)
loop=""
cleanup() {
  umount "$work/ext4" 2>/dev/null || true
  umount "$work/tmpfs" 2>/dev/null || true
  [[ -n $loop ]] && losetup -d "$loop" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
truncate -s 1G "$work/image"
mkfs.ext4 -q -F -L benchnames "$work/image"
mkdir "$work/ext4" "$work/tmpfs"
loop=$(losetup --find --show --direct-io=on "$work/image")
mount "$loop" "$work/ext4"
mount -t tmpfs -o size=1G benchtmpfs "$work/tmpfs"
one_zero_pass="[FileMode]\nDOD=0\nInversion=0\nRandomize=0\nNullify1=1\nNullify2=0\nNullifyCustom=0\n"
printf "$one_zero_pass[Options]\nWipeNames=1\n" >"$work/wiped.ini"
printf "$one_zero_pass[Options]\nWipeNames=0\n" >"$work/kept.ini"

# COUNT files in FOLDER/files, of the sizes every way gets.
make_files() {
  rm -rf "$1/files" && mkdir "$1/files"
  python3 - "$1/files" "$2" <<'EOF'
import sys
folder, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    with open(f"{folder}/quarterly-figures-{i}.txt", "wb") as out:
        out.write(b"k" * (1024 + i * 977 % 7169))
EOF
  sync
}

# Seconds the command took over COUNT files, made afresh and flushed first.
seconds_of() {
  local folder=$1 count=$2
  shift 2
  make_files "$folder" "$count"
  local start end
  start=$(date +%s.%N)
  (cd "$folder/files" && "$@" -- * >/dev/null 2>&1)
  end=$(date +%s.%N)
  awk "BEGIN { print $end - $start }"
}

command_of() {
  case $1 in
    wiped) echo "$program --destroy --settings $work/wiped.ini" ;;
    kept) echo "$program --destroy --settings $work/kept.ini" ;;
    shred) echo "shred -n0 -z -u" ;;
    shredkeep) echo "shred -n0 -z --remove=unlink" ;;
  esac
}

declare -A labels=([wiped]="omrek, names wiped" [kept]="omrek, names kept" [shred]="shred -n0 -z -u"
  [shredkeep]="shred -n0 -z --remove=unlink")
ways=(wiped kept shred shredkeep)

median() { sort -g | sed -n "$(((rounds + 1) / 2))p"; }

echo "load: $(uptime)"
for fs in ext4 tmpfs; do
  count=$files
  [[ $fs == ext4 ]] && count=$ext4_files
  echo "== $fs: $count files of 1-8 KiB, one zero pass, median of $rounds, ways rotated each round"
  declare -A taken=()
  for way in "${ways[@]}"; do : >"$work/$way.times"; done
  for ((r = 0; r < rounds; r++)); do
    for ((w = 0; w < ${#ways[@]}; w++)); do
      way=${ways[$(((w + r) % ${#ways[@]}))]}
      read -ra command <<<"$(command_of "$way")"
      seconds_of "$work/$fs" "$count" "${command[@]}" >>"$work/$way.times"
    done
  done
  for way in "${ways[@]}"; do
    taken[$way]=$(median <"$work/$way.times")
    awk -v way="${labels[$way]}" -v taken="${taken[$way]}" -v files="$count" \
      'BEGIN { printf "%-30s %7.2f s %8.0f files/s\n", way, taken, files / taken }'
  done
  awk -v kept="${taken[kept]}" -v peer="${taken[shredkeep]}" -v wiped="${taken[wiped]}" -v shred="${taken[shred]}" \
    -v fs="$fs" 'BEGIN {
      printf "ratio on %s, names kept vs shred --remove=unlink: %.2f (aim >= 0.80)\n", fs, peer / kept
      printf "ratio on %s, names wiped vs shred -u:              %.2f\n", fs, shred / wiped
    }'
done

echo "== tmpfs, names kept: $large files against 10000, median of $rounds"
: >"$work/small.times"
: >"$work/large.times"
read -ra command <<<"$(command_of kept)"
for ((r = 0; r < rounds; r++)); do
  seconds_of "$work/tmpfs" 10000 "${command[@]}" >>"$work/small.times"
  seconds_of "$work/tmpfs" "$large" "${command[@]}" >>"$work/large.times"
done
awk -v small="$(median <"$work/small.times")" -v big="$(median <"$work/large.times")" -v large="$large" 'BEGIN {
  printf "10000 files %.2f s, %d files %.2f s: ratio %.2f (aim <= %.1f)\n", small, large, big, big / small,
    5.5 * large / 50000
}'

echo "== a command-line run with nothing to do (--recover), median of 9"
for ((r = 0; r < 9; r++)); do
  start=$(date +%s.%N)
  "$program" --recover --settings "$work/kept.ini" >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  awk "BEGIN { print ($end - $start) * 1000 }"
done | sort -g | sed -n 5p | awk '{ printf "idle run %.1f ms (aim <= 30 ms)\n", $1 }'
echo "load: $(uptime)"
