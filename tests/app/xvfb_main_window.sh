#!/usr/bin/env bash
# The real program on a virtual display: its window appears borderless at
# 720 x 466, a screenshot of it can be taken, and clicking EXIT ends it.
set -euo pipefail
program=$1
shot=$2
source "$(dirname "$0")/../support/xvfb-test-lib.sh"
require_display_tools

start_virtual_display
"$program" &
program_pid=$!
trap 'kill "$program_pid" 2>/dev/null || true; stop_virtual_display' EXIT

window=$(wait_for_window "Omrek, Filebane")
expect_window_size "$window" 720 466

shoot_when_drawn "$window" "$shot"

# EXIT sits at 24, 412 (100 x 40) in the client area.
xdotool mousemove --window "$window" 74 432 click 1
for _ in $(seq 50); do
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$program_pid" 2>/dev/null; then
  echo "EXIT did not end the program"
  exit 1
fi
wait "$program_pid"
echo "window ${WIDTH}x${HEIGHT} at ${X},${Y}; screenshot $shot; EXIT ended the program"
