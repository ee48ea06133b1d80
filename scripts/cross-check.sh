#!/usr/bin/env bash
# cross-check.sh PRESET: the cores for another system, cross-built and run where this machine can
# run them (scripts/windows-check.sh, scripts/arm64-check.sh). Installs what `deps.sh PRESET` names
# first, then runs the configure, build and test steps of the workflow preset PRESET, and prints how
# many GoogleTest tests each program ran and the time taken.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
preset=$1

bash scripts/deps.sh "$preset"

start=$SECONDS
cmake --workflow --preset "$preset"
# How many GoogleTest tests each program ran, from CTest's log of this run.
awk '/^[0-9]+\/[0-9]+ Test: / { name = $3 } /^\[  PASSED  \]/ { print name ": " $4 " tests passed" }' \
  "build/$preset/Testing/Temporary/LastTest.log"
echo "$preset check: $((SECONDS - start)) s"
