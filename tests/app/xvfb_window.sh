#!/usr/bin/env bash
# Runs the real-window tests on a virtual display.
set -euo pipefail
tests=$1
source "$(dirname "$0")/../../scripts/xvfb-lib.sh"

start_virtual_display
QT_QPA_PLATFORM=xcb "$tests"
