#!/usr/bin/env bash
# The cores on Windows: cross-builds the calculator and records cores and their GoogleTest programs
# with mingw-w64 (no Qt), then runs them through CTest under wine (`windows` workflow preset). The
# first run also makes the build's own wine prefix. Installs what is missing first.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/deps.sh windows

start=$SECONDS
cmake --workflow --preset windows
# How many GoogleTest tests each program ran under wine, from CTest's log of this run.
awk '/^[0-9]+\/[0-9]+ Test: / { name = $3 } /^\[  PASSED  \]/ { print name ": " $4 " tests passed" }' \
  build/windows/Testing/Temporary/LastTest.log
echo "Windows check: $((SECONDS - start)) s"
