#!/usr/bin/env bash
# a11y-session.sh
# Sourced by the scripts that meet the program as a screen reader does. Gives them a virtual display
# with its own session bus and accessibility bus, and starts and ends the program inside it, so that
# nothing of the caller's desktop is seen or touched.

# The Debian interpreter, which has the AT-SPI bindings, whatever python3 comes first on PATH.
a11y_python=/usr/bin/python3

# Exits 77 (skipped) naming the package when one of the given commands is missing.
a11y_require_commands() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null ||
      { echo "$tool is missing (scripts/deps.sh test installs it); skipping"; exit 77; }
  done
}

# Re-runs the calling script ($1, with the arguments after it) under a virtual display and a session
# bus of its own, once the AT-SPI tools are there and TALVORA_BIN names a built program. Returns in
# the re-run script only.
a11y_enter_session() {
  local script=$1 repo
  shift
  [ -n "${TALVORA_A11Y_SESSION_READY:-}" ] && return 0
  repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  a11y_require_commands xvfb-run dbus-run-session dbus-send
  "$a11y_python" -c 'import pyatspi' 2>/dev/null ||
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
  export TALVORA_BIN TALVORA_A11Y_SESSION_READY=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    dbus-run-session -- bash "$script" "$@"
}

# Starts the accessibility bus, so that the program finds it at start-up and registers on it.
a11y_start_bus() {
  dbus-send --session --dest=org.a11y.Bus --print-reply /org/a11y/bus org.a11y.Bus.GetAddress \
    >/dev/null
}

# Starts the program in the empty folder $1 (its record file lands there); its error output goes to
# $1/stderr. Sets a11y_program_pid.
a11y_start_program() {
  local workdir=$1
  # Under AddressSanitizer: the xcb platform's keymap library calls strndup with a bound longer than
  # its (terminated) buffer, which strict string checks report although nothing past the end is read.
  (cd "$workdir" && ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}strict_string_checks=0" \
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb exec "$TALVORA_BIN" 2>"$workdir/stderr") &
  a11y_program_pid=$!
}

# After the walk closed the last screen the program must end by itself, and cleanly. Returns 1 and
# says why otherwise.
a11y_expect_program_end() {
  local workdir=$1
  if ! timeout 10 tail --pid="$a11y_program_pid" -f /dev/null; then
    echo "FAIL: the program did not end after the last screen was closed" >&2
    return 1
  fi
  if ! wait "$a11y_program_pid"; then
    echo "FAIL: the program ended with a failure status; its error output:" >&2
    cat "$workdir/stderr" >&2
    return 1
  fi
}
