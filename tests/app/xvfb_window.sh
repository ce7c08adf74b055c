#!/usr/bin/env bash
# Runs the real-window tests on a virtual display.
set -euo pipefail
tests=$1
source "$(dirname "$0")/../support/xvfb-test-lib.sh"
require_display_tools display

start_virtual_display
QT_QPA_PLATFORM=xcb "$tests"
