#!/usr/bin/env bash
# The about dialog in the real program on a virtual display: "Help/About"
# opens it at 600 x 380, its "About" tab shows the emblem, a screenshot of
# that page is kept, and "Close" hides it again.
set -euo pipefail
program=$1
shot=$2
source "$(dirname "$0")/../support/xvfb-test-lib.sh"
require_display_tools

for document in README.md LICENSE; do
  [[ -s "$(dirname "$program")/$document" ]] || { echo "$document is not shipped beside the program"; exit 1; }
done

start_virtual_display
"$program" &
program_pid=$!
trap 'kill "$program_pid" 2>/dev/null || true; stop_virtual_display' EXIT

main=$(wait_for_window "Omrek, Filebane")
# Help/About sits at 24, 268 (100 x 40) in the main window.
xdotool mousemove --window "$main" 74 288 click 1
about=$(wait_for_window "About / Help")
expect_window_size "$about" 600 380

# The "About" tab is the first flat button of the page control, whose top
# left is at 16, 96 in the dialog. The emblem's top left is then at 24, 129,
# and the middle of its gold blade 72, 75 into it. Screenshots are taken
# until the page shows it.
xdotool mousemove --window "$about" 30 107 click 1
gold_at_blade() {
  local pixel
  pixel=$(convert "$shot" -format '%[fx:int(255*p{96,204}.r)] %[fx:int(255*p{96,204}.g)] %[fx:int(255*p{96,204}.b)]' info:)
  read -r red green blue <<<"$pixel"
  echo "$pixel"
  ((red >= 180 && green >= 150 && blue <= 70))
}
for _ in $(seq 50); do
  import -window "$about" "$shot"
  pixel=$(gold_at_blade) && break
  sleep 0.1
done
gold_at_blade >/dev/null || { echo "no gold blade of the emblem at 96, 204 (found $pixel)"; exit 1; }

# Close sits at 498, 34 (86 x 22).
xdotool mousemove --window "$about" 541 45 click 1
expect_window_gone "About / Help" "Close did not hide the dialog"
echo "dialog ${WIDTH}x${HEIGHT}; emblem shown ($pixel); screenshot $shot; Close hid it"
