#!/usr/bin/env bash
# atspi-view.sh
# Prints a screen reader's view (roles, names, texts) of each screen, as the desktop's accessibility bus
# shows it: starts the program under a virtual display with its own session bus and accessibility bus,
# and lets atspi-view.py walk it through that bus alone. Exits 77 when a needed tool is missing.
# TALVORA_BIN names the program to run; otherwise TALVORA_BUILD_DIR, or the `app` preset, is built.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$repo/scripts/a11y-session.sh"
a11y_enter_session "${BASH_SOURCE[0]}" "$@"

workdir=$(mktemp -d)
a11y_program_pid=
trap 'kill "$a11y_program_pid" 2>/dev/null || true; rm -rf "$workdir"' EXIT

a11y_start_bus
a11y_start_program "$workdir"

if ! "$a11y_python" "$repo/scripts/atspi-view.py"; then
  echo "the program's error output:" >&2
  cat "$workdir/stderr" >&2
  exit 1
fi
a11y_expect_program_end "$workdir"
