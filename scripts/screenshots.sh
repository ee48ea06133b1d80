#!/usr/bin/env bash
# screenshots.sh [--scale N] [--dark | --gtk-theme THEME] [--out DIR]
# Regenerates the pictures of the three screens: builds the program if needed, starts it under a
# virtual display in a scratch folder, walks the chain with real mouse clicks and typing (xdotool), and
# saves each window as DIR/frmCalculador.png, DIR/frmingreso.png and DIR/frmvista.png.
#   --scale N          runs with QT_SCALE_FACTOR=N (the HiDPI check); default 1
#   --gtk-theme THEME  runs in that desktop scheme, through Qt's GTK platform theme (GTK_THEME=THEME);
#                      Qt 6.4 tells only a dark scheme from a light one
#   --dark             the same as --gtk-theme Adwaita:dark, what a GNOME user in dark mode gets;
#                      docs/frmvista-dark.png is its frmvista.png
#   --out DIR          where the pictures go; default docs/ at scale 1 in the standard scheme,
#                      BUILD_DIR/screenshots-xN[-THEME] otherwise
# TALVORA_BUILD_DIR picks an existing build; by default the `app` preset is built.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

scale=1
theme=
out=
while [ $# -gt 0 ]; do
  case "$1" in
    --scale) scale=$2; shift 2 ;;
    --dark) theme=Adwaita:dark; shift ;;
    --gtk-theme) theme=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) echo "usage: $0 [--scale N] [--dark | --gtk-theme THEME] [--out DIR]" >&2; exit 2 ;;
  esac
done

if [ -z "${TALVORA_SHOTS_DISPLAY_READY:-}" ]; then
  for tool in xvfb-run xdotool import; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/deps.sh test" >&2; exit 1; }
  done
  if [ -n "${TALVORA_BUILD_DIR:-}" ]; then
    TALVORA_BUILD_DIR=$(cd "$TALVORA_BUILD_DIR" && pwd)
    export TALVORA_BUILD_DIR
    cmake --build "$TALVORA_BUILD_DIR" --target talvora >/dev/null
  else
    cmake --preset app -S "$repo" >/dev/null
    cmake --build --preset app --target talvora >/dev/null
    export TALVORA_BUILD_DIR=$repo/build/app
  fi
  if [ -n "$theme" ] && [ ! -e "$(qtpaths6 --query QT_INSTALL_PLUGINS)/platformthemes/libqgtk3.so" ]; then
    echo "Qt's GTK platform theme is missing: run scripts/deps.sh test" >&2
    exit 1
  fi
  if [ -z "$out" ]; then
    if [ "$scale" = 1 ] && [ -z "$theme" ]; then
      out=$repo/docs
    else
      out=$TALVORA_BUILD_DIR/screenshots-x$scale${theme:+-${theme//:/-}}
    fi
  fi
  mkdir -p "$out"
  # A fresh display of its own at 96 dpi, so the pictures do not depend on the user's desktop.
  export TALVORA_SHOTS_DISPLAY_READY=1
  exec xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96 -nolisten tcp" \
    bash "${BASH_SOURCE[0]}" --scale "$scale" ${theme:+--gtk-theme "$theme"} --out "$(cd "$out" && pwd)"
fi

workdir=$(mktemp -d)
pid=
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$workdir"' EXIT
# The viewer needs a stored record to show; it is written in the record file's own format.
printf '"%s"\r\n' 2024-0117 "Ana Maria Rojas" "Calle 8, 45" 555-0142 A >"$workdir/archivo.txt"

cd "$workdir"
if [ -n "$theme" ]; then
  export QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=$theme
else
  unset QT_QPA_PLATFORMTHEME GTK_THEME
fi
QT_SCALE_FACTOR=$scale QT_QPA_PLATFORM=xcb "$TALVORA_BUILD_DIR/src/app/talvora" &
pid=$!

# Waits for the window with this exact caption and prints its id.
window() {
  local id
  id=$(timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | head -n1) ||
    { echo "no window \"$1\" appeared" >&2; exit 1; }
  echo "$id"
}

# Clicks the middle of a control given by its layout rectangle in twips (15 twips a pixel at 96 dpi).
click() {
  local win=$1 left=$2 top=$3 width=$4 height=$5
  xdotool mousemove --sync --window "$win" \
    "$(((left + width / 2) * scale / 15))" "$(((top + height / 2) * scale / 15))" click 1
}

# Types into the control that has the focus; a tab moves to the next box.
type_text() {
  xdotool type --delay 20 "$1"
}

# Saves the window once what was typed or clicked has been drawn.
shoot() {
  sleep 0.5
  import -window "$1" "$out/$2.png"
  echo "wrote $out/$2.png"
}

calc=$(window Form2)
type_text '2+3*4'
xdotool key Return
shoot "$calc" frmCalculador
click "$calc" 4800 5640 1095 375 # cmdSiguiente

entry=$(window 'Ingreso de Datos')
type_text $'2024-0118\tLuis Perez\tAv. Central 100\t555-0199\tB'
shoot "$entry" frmingreso
click "$entry" 2880 4440 1215 495 # cmdvizualizar

viewer=$(window 'Visualizacion de Datos')
type_text 2024-0117
click "$viewer" 4560 840 1695 375 # cmdprocesar
shoot "$viewer" frmvista
click "$viewer" 3120 4680 1335 495 # cmdfin: the last screen closes, so the program ends

timeout 10 tail --pid="$pid" -f /dev/null || { echo "the program did not end after Finalizar" >&2; exit 1; }
