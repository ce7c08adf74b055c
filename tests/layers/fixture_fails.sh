#!/usr/bin/env bash
# Runs the layer check on a tree that breaks the layers on purpose and
# expects it to fail with exactly the faults the tree holds: each include
# from a higher layer, the missing header, and nothing more (an include of
# the file's own or a lower layer, an angle-bracket include or a header
# made from a .in template must pass).
# Usage: fixture_fails.sh CHECK-SCRIPT FIXTURE EXPECTED-OUTPUT
set -uo pipefail
output=$("$1" "$2" 2>&1)
status=$?
if [[ $status -ne 1 ]]; then
  echo "the check exited with $status on the fixture, not 1:"
  echo "$output"
  exit 1
fi
diff -u "$3" <(echo "$output")
