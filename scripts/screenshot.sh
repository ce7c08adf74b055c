#!/usr/bin/env bash
# screenshot.sh PROGRAM OUTPUT.png: runs Omrek on a virtual display and saves
# a picture of its main window.
set -euo pipefail
program=$1
output=$2
source "$(dirname "$0")/xvfb-lib.sh"

start_virtual_display
"$program" &
program_pid=$!
trap 'kill "$program_pid" 2>/dev/null || true; stop_virtual_display' EXIT

window=$(wait_for_window "Omrek, Filebane")
sleep 0.5  # let the first paint finish
import -window "$window" "$output"
