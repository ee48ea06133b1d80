#!/usr/bin/env bash
# The cores on 64-bit ARM Linux, where the record reader takes its portable kernel: cross-builds the
# calculator and records cores and their GoogleTest programs with Debian's aarch64 cross compiler
# (no Qt), then runs them through CTest under qemu-user (`arm64` workflow preset). Installs what is
# missing first.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/deps.sh arm64

start=$SECONDS
cmake --workflow --preset arm64
# How many GoogleTest tests each program ran under qemu, from CTest's log of this run.
awk '/^[0-9]+\/[0-9]+ Test: / { name = $3 } /^\[  PASSED  \]/ { print name ": " $4 " tests passed" }' \
  build/arm64/Testing/Temporary/LastTest.log
echo "arm64 check: $((SECONDS - start)) s"
