#!/usr/bin/env bash
# build.sh [--target NAME] [CMAKE ARGUMENTS]: configures and builds into
# build/, everything or only NAME and what it needs. The other arguments go
# to CMake.
set -euo pipefail
cd "$(dirname "$0")/.."
target=()
if [[ "${1:-}" == "--target" ]]; then
  target=(--target "$2")
  shift 2
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build build "${target[@]}"
