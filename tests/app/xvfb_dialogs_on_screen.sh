#!/usr/bin/env bash
# xvfb_dialogs_on_screen.sh PROGRAM SHOT: the real program on screens of a
# laptop (1280 x 720, 1366 x 768) and of a desktop at twice the scale
# (1920 x 1080, QT_SCALE_FACTOR=2). The main window and every dialog its
# buttons open, the Wipe Space question included, lie wholly within the
# screen; each closes with Esc, which cancels the question unanswered.
# The configuration dialog at twice the scale, taller than that screen, is
# kept as a screenshot. The question is opened only with the settings
# selecting a small loop-mounted image alone, so that a fault answering it
# could fill nothing but that image.
set -euo pipefail
program=$1
shot=$2
source "$(dirname "$0")/../support/xvfb-test-lib.sh"
require_display_tools

folder=$(mktemp -d)
mountpoint="$folder/mnt"
trap clean_up_folder_and_mount EXIT
# A folder of its own, so that no settings file of the build is read.
cp "$program" "$(dirname "$program")/omrek-window.so" "$(dirname "$program")/whoose.wav" "$folder/"

# The settings select a small image alone, by letter and mount point; with
# no such image (not root, no loop device) the question is left out, since
# the first start's selection holds this machine's own drives.
dialogs=("224 Select Files to Destroy" "268 About / Help" "312 Configuration")
mkdir "$mountpoint"
truncate -s 16M "$folder/image"
if [[ $EUID == 0 ]] && command -v mkfs.ext4 >/dev/null && mkfs.ext4 -q "$folder/image" &&
  mount -o loop "$folder/image" "$mountpoint"; then
  letter=$(env -u DISPLAY "$program" --wipe-space "$mountpoint" </dev/null 2>&1 |
    sed -n "s|^  $mountpoint (\(.\):).*|\1|p" || true)
  [[ -n "$letter" && "$mountpoint" =~ ^[A-Za-z0-9/._-]+$ ]] || { echo "no letter for $mountpoint"; exit 1; }
  printf '[DiskMode]\nSelectedDrives=%s\nWipeSlack=0\nSelectedMounts=%s\n' "$letter" "$mountpoint" >"$folder/omrek.ini"
  dialogs=("180 Wipe Space" "${dialogs[@]}")
else
  echo "no image mounted: the Wipe Space question is not opened"
fi

# Fails unless the window lies within a screen of the given size.
expect_within_screen() {
  local window=$1 what=$2 screen_width=$3 screen_height=$4
  eval "$(xdotool getwindowgeometry --shell "$window")"
  if ((X < 0 || Y < 0 || X + WIDTH > screen_width || Y + HEIGHT > screen_height)); then
    echo "$what: ${WIDTH}x${HEIGHT} at $X,$Y leaves a ${screen_width}x${screen_height} screen"
    exit 1
  fi
}

for setup in "1280 720 1" "1366 768 1" "1920 1080 2"; do
  read -r width height scale <<<"$setup"
  XVFB_SCREEN="${width}x${height}x24" start_virtual_display
  trap clean_up_folder_and_mount EXIT
  QT_SCALE_FACTOR=$scale "$folder/omrek" &
  program_pid=$!
  main=$(wait_for_window "Omrek, Filebane")
  expect_within_screen "$main" "the main window at ${width}x${height}, scale $scale" "$width" "$height"
  # The buttons' tops in the window (each 100 x 40 at left 24), and the
  # dialogs they open.
  for dialog in "${dialogs[@]}"; do
    read -r top title <<<"$dialog"
    xdotool mousemove --window "$main" $((74 * scale)) $(((top + 20) * scale)) click 1
    box=$(wait_for_window "$title")
    expect_within_screen "$box" "$title at ${width}x${height}, scale $scale" "$width" "$height"
    [[ "$title" == Configuration && $scale == 2 ]] && shoot_when_drawn "$box" "$shot"
    xdotool windowfocus --sync "$box" key Escape
    expect_window_gone "$title" "Esc did not close $title"
  done
  if [[ -n "${letter:-}" ]] && find "$mountpoint" -maxdepth 1 -name 'Omrek-Delete*' | grep -q .; then
    echo "Esc on the Wipe Space question left a filler file"
    exit 1
  fi
  kill "$program_pid"
  wait "$program_pid" 2>/dev/null || true
  program_pid=
  stop_virtual_display
  XVFB_PID=
done
echo "the main window and every dialog on the screen at 1280x720, 1366x768 and 1920x1080 at scale 2; screenshot $shot"
