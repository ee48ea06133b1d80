#!/usr/bin/env bash
# windows-program.sh [--shots DIR]
# The whole program for Windows: makes (or reuses) the Qt for Windows kit, cross-builds the program
# and its tests against it with mingw-w64, runs the tests under wine on a virtual display, builds the
# NSIS installer and the portable .zip (`windows-program` workflow preset), then walks the installed
# program (scripts/windows-walk.sh). Installs what is missing first. Each step logs its time.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"

bash scripts/deps.sh windows-gui

step() {
  local name=$1 start=$SECONDS
  shift
  echo "--- $name"
  "$@"
  echo "--- $name: $((SECONDS - start)) s"
}

kit_log=$(mktemp)
trap 'rm -f "$kit_log"' EXIT
step "Qt for Windows kit" bash -c 'bash scripts/windows-qt-kit.sh >"$1"' _ "$kit_log"
TALVORA_QT_KIT=$(tail -n1 "$kit_log")
export TALVORA_QT_KIT
# The windows platform plugin needs a display, even for the widget tests.
step "program, tests under wine, installer and zip" \
  xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96 -nolisten tcp" \
  cmake --workflow --preset windows-program
for file in build/windows-program/talvora-*-win64.exe build/windows-program/talvora-*-win64.zip; do
  echo "$(du -h "$file" | cut -f1) $file"
done
step "walk of the installed program" \
  bash scripts/windows-walk.sh build/windows-program/talvora-*-win64.exe "$@"
