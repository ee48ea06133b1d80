#!/usr/bin/env bash
# windows-walk.sh INSTALLER [--shots DIR]
# Walks the Windows program as a clerk would, under wine on a virtual display: installs INSTALLER
# silently into a throwaway wine prefix, starts the program through its Start-menu entry, and with
# real keys alone evaluates 2+3*4, saves a record with an accented name, finds it on the viewer and
# ends the program with "Finalizar". The same keys then drive the Linux program (the `app` preset,
# or TALVORA_LINUX_BIN), and the two record files must hold the same bytes. Last, it uninstalls
# silently and checks that nothing it installed is left (and that the user's record file is).
#   --shots DIR   also saves the three Windows screens as DIR/frmCalculador.png, frmingreso.png and
#                 frmvista.png
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

[ $# -ge 1 ] || { echo "usage: $0 INSTALLER [--shots DIR]" >&2; exit 2; }
installer=$(realpath "$1")
shift
shots=
while [ $# -gt 0 ]; do
  case "$1" in
    --shots) shots=$(mkdir -p "$2" && cd "$2" && pwd); shift 2 ;;
    *) echo "usage: $0 INSTALLER [--shots DIR]" >&2; exit 2 ;;
  esac
done

if [ -z "${TALVORA_WALK_DISPLAY_READY:-}" ]; then
  if [ -z "${TALVORA_LINUX_BIN:-}" ]; then
    (cd "$repo" && cmake --preset app >/dev/null && cmake --build --preset app --target talvora >/dev/null)
    export TALVORA_LINUX_BIN=$repo/build/app/src/app/talvora
  fi
  # A display of its own at 96 dpi, so that neither the keys nor the pictures meet a user's desktop.
  export TALVORA_WALK_DISPLAY_READY=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96 -nolisten tcp" \
    bash "${BASH_SOURCE[0]}" "$installer" ${shots:+--shots "$shots"}
fi

scratch=$(mktemp -d)
program_pid=
clipboard_pid=
finish() {
  kill "$program_pid" "$clipboard_pid" 2>/dev/null || true
  WINEPREFIX=$scratch/prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$scratch"
}
trap finish EXIT

# A home and a wine prefix of this walk's own: wine links the prefix's Documents into the home.
export HOME=$scratch/home WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
export LANG=C.UTF-8
mkdir -p "$HOME"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Waits for a window with this exact caption and prints its id.
window() {
  local id
  id=$(timeout 60 xdotool search --sync --onlyvisible --name "^$1\$" | head -n1) ||
    fail "no window \"$1\" appeared"
  echo "$id"
}

# Keys go to whatever has the focus, as a keyboard's would; each is given time to be handled.
key() {
  xdotool key --delay 150 "$@"
  sleep 0.3
}
type_text() {
  xdotool type --delay 60 "$1"
  sleep 0.3
}
# wine maps keys from its own layout table, which has no Í or ñ: such text comes through the
# clipboard, as it would from another program, the same way for both platforms.
paste_text() {
  kill "$clipboard_pid" 2>/dev/null || true
  printf '%s' "$1" | xclip -selection clipboard -i -quiet 2>/dev/null &
  clipboard_pid=$!
  sleep 0.5
  key ctrl+v
}

shoot() {
  [ -n "$shots" ] || return 0
  sleep 1
  import -window "$1" "$shots/$2.png"
  echo "wrote $shots/$2.png"
}

# The walk itself, the same keys on either platform. $1 is where the program was started; the
# pictures are taken on the Windows walk alone.
walk() {
  local shoot_as=$1 calc entry viewer
  calc=$(window Form2)
  type_text '2+3*4'
  key Return
  [ "$shoot_as" = windows ] && shoot "$calc" frmCalculador
  key shift+Tab shift+Tab space # Siguiente >>

  entry=$(window 'Ingreso de Datos')
  type_text A-001
  key Tab
  paste_text 'Íñigo Muñoz'
  key Tab
  type_text 'Calle Mayor 5'
  key Tab
  type_text 5550101
  key Tab
  type_text activo
  [ "$shoot_as" = windows ] && shoot "$entry" frmingreso
  key Tab space # Grabar
  window 'Universidad Talvora' >/dev/null
  key Return # the confirmation
  sleep 0.5
  key Tab Tab space # Cerrar, then Visualizar

  viewer=$(window 'Visualizacion de Datos')
  type_text A-001
  key shift+Tab space # Procesar
  [ "$shoot_as" = windows ] && shoot "$viewer" frmvista
  key shift+Tab shift+Tab space # Limpiar Campos, then Finalizar
}

# Waits for the program to end by itself, as "Finalizar" ends it.
wait_for_end() {
  timeout 30 tail --pid="$program_pid" -f /dev/null || fail "the program did not end after Finalizar"
  wait "$program_pid" || true
  program_pid=
}

echo "=== Windows: install silently"
windows_path() { "$wine" winepath -w "$1" | tr -d '\r'; }
unix_path() { "$wine" winepath -u "$1" | tr -d '\r'; }
timeout 300 "$wine" wineboot --init
timeout 300 "$wine" "$installer" /S
timeout 120 "$wineserver" -w
installed=$(unix_path 'C:\Program Files\Universidad Talvora')
[ -f "$installed/talvora.exe" ] || fail "talvora.exe is not in $installed"
find "$installed" -type f | sed "s|^$installed/||" | sort >"$scratch/installed-files"
echo "installed $(wc -l <"$scratch/installed-files") files, $(du -sh "$installed" | cut -f1)"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Universidad Talvora'
"$wine" reg query "$uninstall_key" /v DisplayName >/dev/null 2>&1 ||
  fail "no entry \"Universidad Talvora\" in the list of installed programs"
shortcut=$(find "$WINEPREFIX/drive_c" -name 'Universidad Talvora.lnk' | head -n1)
[ -n "$shortcut" ] || fail "no Start-menu entry \"Universidad Talvora\""
echo "Start-menu entry: ${shortcut#"$WINEPREFIX/drive_c/"}"

echo "=== Windows: the walk, started from the Start-menu entry"
documents=$(unix_path "$("$wine" cmd /c 'echo %USERPROFILE%\Documents' | tr -d '\r')")
mkdir -p "$documents"
"$wine" start /wait /unix "$shortcut" &
program_pid=$!
walk windows
wait_for_end
[ -f "$documents/archivo.txt" ] || fail "no archivo.txt in the user's Documents ($documents)"
[ ! -e "$installed/archivo.txt" ] || fail "archivo.txt was written into the installation folder"
cp "$documents/archivo.txt" "$scratch/windows-archivo.txt"

echo "=== Linux: the same keys"
mkdir -p "$scratch/linux"
(cd "$scratch/linux" && exec env QT_QPA_PLATFORM=xcb "$TALVORA_LINUX_BIN") &
program_pid=$!
walk linux
wait_for_end

echo "=== archivo.txt, Windows then Linux"
od -A d -c "$scratch/windows-archivo.txt"
od -A d -c "$scratch/linux/archivo.txt"
cmp "$scratch/windows-archivo.txt" "$scratch/linux/archivo.txt" ||
  fail "the two programs wrote different bytes"
grep -q $'^"\xcd\xf1igo Mu\xf1oz"\r$' "$scratch/windows-archivo.txt" ||
  fail "the accented name is not stored in Windows-1252"

echo "=== Windows: uninstall silently"
timeout 120 "$wine" "$(windows_path "$installed/Uninstall.exe")" /S
timeout 120 "$wineserver" -w
if [ -d "$installed" ]; then
  find "$installed" >&2
  fail "files of the installation are left"
fi
[ ! -e "$shortcut" ] || fail "the Start-menu entry is left"
! "$wine" reg query "$uninstall_key" >/dev/null 2>&1 ||
  fail "the entry in the list of installed programs is left"
cmp "$documents/archivo.txt" "$scratch/windows-archivo.txt" || fail "uninstalling touched the user's records"
echo "Windows walk: passed (installed, walked, same bytes as on Linux, uninstalled cleanly)"
