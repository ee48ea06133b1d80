#!/usr/bin/env bash
# atspi-view.sh
# Prints a screen reader's view (roles, names, texts) of each screen, as the desktop's accessibility bus
# shows it: starts the program under a virtual display with its own session bus and accessibility bus,
# and lets atspi-view.py walk it through that bus alone. Exits 77 when a needed tool is missing.
# TALVORA_BIN names the program to run; otherwise TALVORA_BUILD_DIR, or the `app` preset, is built.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The Debian interpreter, which has the AT-SPI bindings, whatever python3 comes first on PATH.
python=/usr/bin/python3

if [ -z "${TALVORA_ATSPI_SESSION_READY:-}" ]; then
  for tool in xvfb-run dbus-run-session dbus-send; do
    command -v "$tool" >/dev/null ||
      { echo "$tool is missing (scripts/deps.sh test installs it); skipping"; exit 77; }
  done
  "$python" -c 'import pyatspi' 2>/dev/null ||
    { echo "python3-pyatspi is missing (scripts/deps.sh test installs it); skipping"; exit 77; }
  [ -x /usr/libexec/at-spi-bus-launcher ] ||
    { echo "at-spi2-core is missing (scripts/deps.sh test installs it); skipping"; exit 77; }
  if [ -z "${TALVORA_BIN:-}" ]; then
    if [ -n "${TALVORA_BUILD_DIR:-}" ]; then
      cmake --build "$TALVORA_BUILD_DIR" --target talvora >/dev/null
    else
      cmake --preset app -S "$repo" >/dev/null
      cmake --build --preset app --target talvora >/dev/null
    fi
    TALVORA_BIN=$(cd "${TALVORA_BUILD_DIR:-$repo/build/app}" && pwd)/src/app/talvora
  fi
  export TALVORA_BIN TALVORA_ATSPI_SESSION_READY=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    dbus-run-session -- bash "${BASH_SOURCE[0]}"
fi

workdir=$(mktemp -d)
pid=
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$workdir"' EXIT

# Start the accessibility bus before the program, so that Qt finds it at start-up and registers.
dbus-send --session --dest=org.a11y.Bus --print-reply /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null
cd "$workdir"
# Under AddressSanitizer: the xcb platform's keymap library calls strndup with a bound longer than
# its (terminated) buffer, which strict string checks report although nothing past the end is read.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}strict_string_checks=0" \
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$TALVORA_BIN" 2>"$workdir/stderr" &
pid=$!

if ! "$python" "$repo/scripts/atspi-view.py"; then
  echo "the program's error output:" >&2
  cat "$workdir/stderr" >&2
  exit 1
fi
status=0

# "Finalizar" closed the last screen: the program must end by itself, and cleanly.
if ! timeout 10 tail --pid="$pid" -f /dev/null; then
  echo "FAIL: the program did not end after the last screen was closed" >&2
  status=1
elif ! wait "$pid"; then
  echo "FAIL: the program ended with a failure status; its error output:" >&2
  cat "$workdir/stderr" >&2
  status=1
fi
exit "$status"
