#!/usr/bin/env bash
# Builds the program (installing what is missing) and starts it. The program keeps its record file,
# "archivo.txt", in the folder this command is started from.
set -euo pipefail
start_dir=$PWD
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

bash "$repo/scripts/deps.sh" run
# CMake reads its presets from the current folder.
(cd "$repo" && cmake --preset app >/dev/null && cmake --build --preset app --target talvora)

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<MSG
No display is available, so the program's windows cannot be shown.
Start it on a desktop session, or under a virtual display:
  xvfb-run -a $repo/build/app/src/app/talvora
MSG
  exit 1
fi
cd "$start_dir"
exec "$repo/build/app/src/app/talvora"
