#!/usr/bin/env bash
# Installs what is missing, builds with the tests, and runs every test.
# Extra arguments go to CMake (.ci/run turns warnings into errors).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh --tests
scripts/build.sh -DOMREK_BUILD_TESTS=ON "$@"
cd build
# One at a time: tests that mount file systems change the drive letters
# other tests read.
ctest --output-on-failure --timeout 600
