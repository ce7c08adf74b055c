#!/usr/bin/env bash
# Runs the drop tests on a virtual display, where the program's windows and
# the tests' drag source exchange real XDND drags.
set -euo pipefail
tests=$1
export DRAG_SOURCE=$2
source "$(dirname "$0")/../support/xvfb-test-lib.sh"
require_display_tools

start_virtual_display
QT_QPA_PLATFORM=xcb "$tests"
