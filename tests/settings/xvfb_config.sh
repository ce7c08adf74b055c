#!/usr/bin/env bash
# The configuration dialog in the real program on a virtual display. The
# program runs from a folder of its own with the default sound beside it,
# started from a working folder without one. "Config" opens the dialog, a
# screenshot of it is kept, and OK writes the settings file beside the
# program, naming the sound by its full path, and hides the dialog.
set -euo pipefail
program=$1
shot=$2
source "$(dirname "$0")/../support/xvfb-test-lib.sh"
require_display_tools

sound="$(dirname "$program")/whoose.wav"
[[ -s "$sound" ]] || { echo "whoose.wav is not shipped beside the program"; exit 1; }
folder=$(mktemp -d)
cp "$program" "$(dirname "$program")/omrek-window.so" "$sound" "$folder"/
settings="$folder/omrek.ini"

start_virtual_display
(cd / && exec "$folder/omrek") &
program_pid=$!
trap 'kill "$program_pid" 2>/dev/null || true; stop_virtual_display; rm -rf "$folder"' EXIT

main=$(wait_for_window "Omrek, Filebane")
# Config sits at 24, 312 (100 x 40) in the main window.
xdotool mousemove --window "$main" 74 332 click 1
config=$(wait_for_window "Configuration")
# Without a window manager there is no frame: the client area of a 417 x 593
# window with a sizeable frame and a caption.
expect_window_size "$config" 409 566
shoot_when_drawn "$config" "$shot"

# OK sits at 88, 536 (86 x 22).
xdotool mousemove --window "$config" 131 547 click 1
expect_window_gone "Configuration" "OK did not hide the dialog"
[[ -s "$settings" ]] || { echo "OK wrote no $settings"; exit 1; }
keys=$(grep -c '=' "$settings")
[[ "$keys" == 24 ]] || { echo "the settings file has $keys keys"; cat "$settings"; exit 1; }
grep -qx "Sound=$folder/whoose.wav" "$settings" || { echo "Sound is not the full path"; cat "$settings"; exit 1; }
echo "dialog ${WIDTH}x${HEIGHT}; screenshot $shot; OK wrote $keys keys and hid the dialog"
