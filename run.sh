#!/usr/bin/env bash
# Installs what is missing, builds and starts Omrek. Without a display it
# starts Omrek on a virtual one, saves a screenshot of the main window to
# build/screenshot.png, and exits.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
# Only the program: neither the tests nor the benchmarks.
scripts/build.sh --target omrek -DOMREK_BUILD_TESTS=OFF

if [[ -n "${DISPLAY:-}" ]]; then
  exec build/omrek
fi
scripts/screenshot.sh build/omrek build/screenshot.png
echo "No display: Omrek ran on a virtual display; its main window is in build/screenshot.png"
