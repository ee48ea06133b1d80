#!/usr/bin/env bash
# orca-speech.sh
# Walks the three screens with the Orca screen reader, as a blind user does with the keyboard, and
# checks what Orca speaks (orca-speech.py holds the walk). Runs headless: a virtual display, buses of
# its own, a throwaway home for Orca and a speech server that writes to a file instead of a sound
# card. Exits 77 when a needed tool is missing. TALVORA_BIN names the program to run; otherwise
# TALVORA_BUILD_DIR, or the `app` preset, is built. TALVORA_ORCA_TRANSCRIPT, if set, names a file
# that receives what Orca spoke.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$repo/scripts/a11y-session.sh"
if [ -z "${TALVORA_A11Y_SESSION_READY:-}" ]; then
  a11y_require_commands xdotool speech-dispatcher
  [ -x /usr/bin/orca ] || { echo "orca is missing (scripts/deps.sh test installs it); skipping"; exit 77; }
fi
a11y_enter_session "${BASH_SOURCE[0]}" "$@"

scratch=$(mktemp -d)
a11y_program_pid=
orca_pid=
stop_all() {
  kill "$a11y_program_pid" "$orca_pid" 2>/dev/null || true
  # Orca takes a few seconds to end; it must not outlive the buses it listens to.
  [ -n "$orca_pid" ] && { timeout 15 tail --pid="$orca_pid" -f /dev/null || kill -9 "$orca_pid"; } 2>/dev/null
  # The speech server was started for this session alone; it ends with its (private) socket folder.
  speechd_pid=$(cat "$XDG_RUNTIME_DIR/speech-dispatcher/pid/speech-dispatcher.pid" 2>/dev/null || true)
  [ -n "$speechd_pid" ] && kill "$speechd_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap stop_all EXIT

# The checked speech is Orca's English.
export LANG=C.UTF-8 LANGUAGE=C
unset LC_ALL
# Orca reads and writes its settings under the home folder, and the speech server puts its socket
# in the runtime folder: both are this run's own, so a user's reader and settings stay untouched.
export HOME=$scratch/home XDG_RUNTIME_DIR=$scratch/run XDG_CONFIG_HOME=$scratch/home/.config
export GSETTINGS_BACKEND=memory
mkdir -p "$HOME" "$XDG_CONFIG_HOME/speech-dispatcher/modules" "$scratch/program"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# What Orca speaks is taken where every Orca release sends it: to the speech server (Orca 48 no
# longer logs it anywhere a script can hook). The server refuses to start without a sound device, so
# ALSA's null device takes its sound. Its one voice appends each utterance, in UTF-8, to the
# transcript as a line (a longer one sentence by sentence, a line each). What Orca cuts off before
# the voice took it is missing, as it is for a listener.
transcript=$scratch/transcript
: >"$transcript"
cat >"$XDG_CONFIG_HOME/speech-dispatcher/speechd.conf" <<CONF
AudioOutputMethod "alsa"
AudioALSADevice "null"
AddModule "file" "sd_generic" "file.conf"
DefaultModule file
LogDir "$scratch"
CONF
cat >"$XDG_CONFIG_HOME/speech-dispatcher/modules/file.conf" <<CONF
GenericExecuteSynth "printf '%s\\\\n' '\$DATA' >> '$transcript'"
GenericLanguage "en" "english" "utf-8"
AddVoice "en" "MALE1" "file"
CONF

# No echo of each key: the walk checks what Orca says of the program, and a key's echo, which Orca
# may speak only after what the key brought up, interrupts that speech and drops what was queued.
mkdir -p "$HOME/.local/share/orca"
cat >"$HOME/.local/share/orca/orca-customizations.py" <<'PY'
import orca.settings
orca.settings.enableKeyEcho = False
PY

a11y_start_bus
"$a11y_python" "$repo/scripts/orca-alongside.py" >"$scratch/orca-output" 2>&1 &
orca_pid=$!
# Orca says so once it listens to the desktop; a program started earlier would be met half-way.
for _ in $(seq 600); do
  grep -q "Screen reader on" "$transcript" && break
  kill -0 "$orca_pid" 2>/dev/null || break
  sleep 0.1
done
a11y_start_program "$scratch/program"

status=0
"$a11y_python" "$repo/scripts/orca-speech.py" "$transcript" || status=1
if [ -n "${TALVORA_ORCA_TRANSCRIPT:-}" ]; then
  cp "$transcript" "$TALVORA_ORCA_TRANSCRIPT"
fi
if [ "$status" -ne 0 ]; then
  echo "what Orca spoke:" >&2
  cat "$transcript" >&2
  echo "Orca's own output:" >&2
  tail -n 30 "$scratch/orca-output" >&2
  echo "the program's error output:" >&2
  cat "$scratch/program/stderr" >&2
  exit 1
fi
a11y_expect_program_end "$scratch/program"
