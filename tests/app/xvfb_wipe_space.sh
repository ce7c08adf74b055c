#!/usr/bin/env bash
# xvfb_wipe_space.sh PROGRAM SHOT: "Wipe Space" in the real program on a
# virtual display, with one drive selected: a small ext4 image (the
# question's text, naming the mount point and letter, is checked by the
# WipeSpaceQuestion cases of app_destroy_test). The question comes up and is
# kept as a screenshot; Esc cancels it and
# leaves no filler and the status lines as they were; Enter wipes the
# drive as before, leaving no filler and no trace of a deleted file. Then the
# program runs from the drive itself, so the drive holds its settings: there
# Cancel is the default, Return writes nothing, and Alt+W wipes.
set -euo pipefail
program=$1
shot=$2
source "$(dirname "$0")/../support/xvfb-test-lib.sh"
require_root "needs root to mount an image"
require_display_tools mkfs.ext4

folder=$(mktemp -d)
mountpoint="$folder/mnt"
trap clean_up_folder_and_mount EXIT

truncate -s 96M "$folder/image"
mkfs.ext4 -q -b 4096 -L xvfbwipe "$folder/image"
mkdir "$mountpoint"
mount -o loop "$folder/image" "$mountpoint" || skip "cannot loop-mount an image here"
marker="OMREK-XVFB-WIPE-MARKER"
leave_deleted_secret() {
  head -c 2000000 < <(yes "$marker") >"$mountpoint/secret"
  sync
  rm "$mountpoint/secret"
  sync
}
leave_deleted_secret

# The command line tells the drive's letter, and refuses to go on from a script.
letter=$(env -u DISPLAY "$program" --wipe-space "$mountpoint" </dev/null 2>&1 | sed -n "s|^  $mountpoint (\(.\):).*|\1|p" || true)
[[ -n "$letter" ]] || { echo "no letter for $mountpoint"; exit 1; }

# The program, from a folder of its own whose settings select that drive
# alone, by its mount point. A stored drive that selected nothing would leave
# the fixed drives selected, this machine's own among them: the mount point
# must hold no byte the settings write escaped.
[[ "$mountpoint" =~ ^[A-Za-z0-9/._-]+$ ]] || { echo "unexpected characters in $mountpoint"; exit 1; }
mkdir "$folder/app"
cp "$program" "$(dirname "$program")/omrek-window.so" "$(dirname "$program")/whoose.wav" "$folder/app/"
printf '[DiskMode]\nSelectedDrives=%s\nWipeSlack=0\nSelectedMounts=%s\n' "$letter" "$mountpoint" >"$folder/app/omrek.ini"

fillers() { find "$mountpoint" -maxdepth 1 -name 'Omrek-Delete*' | wc -l; }
start_virtual_display
# Starting the display set a trap of its own; the clean-up stops it too.
trap clean_up_folder_and_mount EXIT
"$folder/app/omrek" &
program_pid=$!
main=$(wait_for_window "Omrek, Filebane")
shoot_when_drawn "$main" "$folder/main.png"
# The three status lines at 544, 15 (101 x 48).
status_shot() { import -window "$main" -crop 101x48+544+15 "$1"; }
status_shot "$folder/status-before.png"

# Wipe Space sits at 24, 180 (100 x 40).
xdotool mousemove --window "$main" 74 200 click 1
box=$(wait_for_window "Wipe Space")
shoot_when_drawn "$box" "$shot"
xdotool windowfocus --sync "$box" key Escape
expect_window_gone "Wipe Space" "Esc did not close the question"
# Where the question covered the status lines, they are drawn again in a
# moment; the comparison waits for that, up to half a minute.
for _ in $(seq "$SCREEN_LOOKS"); do
  status_shot "$folder/status-after.png"
  same_pixels "$folder/status-before.png" "$folder/status-after.png" && break
  sleep 0.1
done
[[ "$(fillers)" == 0 ]] || { echo "Cancel left a filler file"; exit 1; }
difference=$(compare -metric AE "$folder/status-before.png" "$folder/status-after.png" null: 2>&1 || true)
[[ "$difference" == 0 ]] || { echo "Cancel changed the status lines ($difference pixels)"; exit 1; }
grep -qa "$marker" "$folder/image" || { echo "Cancel wiped the drive"; exit 1; }

xdotool mousemove --window "$main" 74 200 click 1
box=$(wait_for_window "Wipe Space")
xdotool windowfocus --sync "$box" key Return
expect_window_gone "Wipe Space" "Enter did not close the question"
wiped() {
  for _ in $(seq 300); do
    [[ "$(fillers)" == 0 ]] && ! grep -qa "$marker" "$folder/image" && return 0
    sleep 0.1
  done
  return 1
}
wiped || { echo "Enter did not wipe the drive"; exit 1; }
kill "$program_pid"
wait "$program_pid" 2>/dev/null || true
program_pid=

# The same program and settings, now on the drive to be wiped.
leave_deleted_secret
mkdir "$mountpoint/app"
cp "$folder/app/omrek" "$folder/app/omrek-window.so" "$folder/app/whoose.wav" "$folder/app/omrek.ini" "$mountpoint/app/"
"$mountpoint/app/omrek" &
program_pid=$!
main=$(wait_for_window "Omrek, Filebane")
shoot_when_drawn "$main" "$folder/main-on-drive.png"
xdotool mousemove --window "$main" 74 200 click 1
box=$(wait_for_window "Wipe Space")
shoot_when_drawn "$box" "$folder/question-on-drive.png"
xdotool windowfocus --sync "$box" key Return
expect_window_gone "Wipe Space" "Return did not close the question"

xdotool mousemove --window "$main" 74 200 click 1
box=$(wait_for_window "Wipe Space")
# A wipe runs on the window's thread: one that Return had started wrongly
# has ended by the time the question can come up again.
[[ "$(fillers)" == 0 ]] || { echo "Return on the settings' drive left a filler file"; exit 1; }
grep -qa "$marker" "$folder/image" || { echo "Return wiped the drive holding the settings"; exit 1; }
xdotool windowfocus --sync "$box" key alt+w
expect_window_gone "Wipe Space" "Alt+W did not close the question"
wiped || { echo "Alt+W did not wipe the drive"; exit 1; }
echo "question shown for $mountpoint ($letter:); Esc changed nothing; Enter wiped the drive;" \
  "from the drive itself Return changed nothing and Alt+W wiped it; screenshot $shot"
