#!/usr/bin/env bash
# Builds the window-outline reader's fuzz target with clang and libFuzzer
# and runs it from an empty corpus. SECONDS_TO_RUN (default 60) bounds it.
set -euo pipefail
cd "$(dirname "$0")/.."
missing=()
for package in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [[ ${#missing[@]} -gt 0 ]]; then
  sudo=()
  [[ $(id -u) -eq 0 ]] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
scripts/install-deps.sh
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DOMREK_FUZZ=ON >/dev/null
cmake --build build-fuzz --target mask_fuzzer
build-fuzz/tests/app/mask_fuzzer -max_total_time="${SECONDS_TO_RUN:-60}"
