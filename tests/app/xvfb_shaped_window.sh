#!/usr/bin/env bash
# The shaped main window in the real program on a virtual display: the teal
# L of the skin shows with the controls on it, the desktop shows through
# outside the outline, and dragging the bare skin with the left button moves
# the window by the drag distance while dragging on a button does not.
set -euo pipefail
program=$1
shot=$2
source "$(dirname "$0")/../support/xvfb-test-lib.sh"
require_display_tools

work=$(mktemp -d)
start_virtual_display
# The desktop as it is before the window comes, to compare with what shows
# through the window's corners.
import -window root "$work/desktop.png"

"$program" &
program_pid=$!
trap 'kill "$program_pid" 2>/dev/null || true; stop_virtual_display; rm -rf "$work"' EXIT

# Prints the red, green and blue of a screen pixel in the last screenshot,
# or in the given one.
rgb_at() {
  convert "${3:-$work/screen.png}" -format "%[fx:int(255*p{$1,$2}.r)] %[fx:int(255*p{$1,$2}.g)] %[fx:int(255*p{$1,$2}.b)]" info:
}
screenshot() { import -window root "$work/screen.png"; }

# Waits until the window's top-left corner is at the given screen position.
window_at() {
  for _ in $(seq 50); do
    eval "$(xdotool getwindowgeometry --shell "$window")"
    [[ "$X,$Y" == "$1,$2" ]] && return 0
    sleep 0.1
  done
  echo "window at $X,$Y, expected $1,$2"
  return 1
}

window=$(wait_for_window "Omrek, Filebane")
eval "$(xdotool getwindowgeometry --shell "$window")"
left=$X
top=$Y

# Client 400, 50 is bare skin, clear of every control.
for _ in $(seq 50); do
  screenshot
  [[ "$(rgb_at $((left + 400)) $((top + 50)))" == "0 183 183" ]] && break
  sleep 0.1
done
convert "$work/screen.png" -crop "720x466+$left+$top" +repage "$shot"
skin=$(rgb_at $((left + 400)) $((top + 50)))
[[ "$skin" == "0 183 183" ]] || { echo "no teal skin at client 400, 50 (found $skin)"; exit 1; }
# The EXIT button's white face lies on the skin (24, 412, 100 x 40).
button=$(rgb_at $((left + 28)) $((top + 448)))
[[ "$button" == "255 255 255" ]] || { echo "no white EXIT button at client 28, 448 (found $button)"; exit 1; }
for point in "0 0" "715 460"; do
  read -r x y <<<"$point"
  desktop=$(rgb_at $((left + x)) $((top + y)) "$work/desktop.png")
  # Around the plate the skin is white: a desktop of that colour there could
  # not tell a shaped window from a rectangular one.
  [[ "$desktop" != "255 255 255" ]] || { echo "the desktop is white at client $x, $y; nothing to compare"; exit 1; }
  behind=$(rgb_at $((left + x)) $((top + y)))
  [[ "$behind" == "$desktop" ]] || { echo "client $x, $y shows $behind, not the desktop's $desktop"; exit 1; }
  # Clicks there reach the desktop too: the pointer is over the root window.
  eval "$(xdotool mousemove $((left + x)) $((top + y)) getmouselocation --shell)"
  [[ "$WINDOW" != "$window" ]] || { echo "client $x, $y still belongs to the window"; exit 1; }
done

drag() {
  xdotool mousemove "$1" "$2" mousedown 1 mousemove $(($1 + $3)) $(($2 + $4)) mouseup 1
}

# Dragging on Cancel (24, 368, 100 x 40) leaves the window where it is; the
# drag on the skin that follows moves it by its own distance only.
drag $((left + 74)) $((top + 388)) 40 30
drag $((left + 400)) $((top + 50)) 37 -21
window_at $((left + 37)) $((top - 21))
drag $((left + 37 + 70)) $((top - 21 + 85)) -50 64
window_at $((left - 13)) $((top + 43))

echo "skin $skin and button $button shown; desktop behind client 0, 0 and 715, 460;" \
  "moved from $left,$top by skin drags to $X,$Y; screenshot $shot"
