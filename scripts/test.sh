#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test through CTest, headless: the debug build
# (unit, widget and lint tests), the same suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# the fuzz targets replaying their corpora, and the Debian package: built from a release build of the
# program alone, then checked.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"

bash scripts/deps.sh test

for preset in dev asan fuzz; do
  echo "=== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

echo "=== package"
cmake --workflow --preset package
