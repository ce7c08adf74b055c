#!/usr/bin/env bash
# The file selection dialog in the real program on a virtual display:
# "Select Files" opens it beside the main window at 604 x 441, a screenshot
# of it can be taken, and "Close" hides it while the program goes on.
set -euo pipefail
program=$1
shot=$2
source "$(dirname "$0")/../support/xvfb-test-lib.sh"
require_display_tools

start_virtual_display
"$program" &
program_pid=$!
trap 'kill "$program_pid" 2>/dev/null || true; stop_virtual_display' EXIT

main=$(wait_for_window "Omrek, Filebane")
# "Select Files" sits at 24, 224 (100 x 40) in the main window.
xdotool mousemove --window "$main" 74 244 click 1
dialog=$(wait_for_window "Select Files to Destroy")
expect_window_size "$dialog" 604 441

shoot_when_drawn "$dialog" "$shot"

# "Close" sits at 504, 16 (86 x 22) in the dialog's top panel.
xdotool mousemove --window "$dialog" 547 27 click 1
expect_window_gone "Select Files to Destroy" "Close did not hide the dialog"
kill -0 "$program_pid" 2>/dev/null || { echo "the program ended with the dialog"; exit 1; }
echo "dialog ${WIDTH}x${HEIGHT}; screenshot $shot; Close hid it"
