#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing the program need, and only the
# missing ones. Sourced or run by run.sh and test.sh; safe to run again.
set -euo pipefail

# What the program itself needs to build and run.
TALVORA_RUN_PACKAGES=(cmake ninja-build g++ qt6-base-dev fonts-liberation2)
# What the test command needs on top: test and benchmark libraries, the sanitizer and fuzzer runtime,
# the linters, a virtual display, the validators of the desktop integration files, and the session and
# accessibility buses with their Python bindings and an input driver for the screen-reader and
# screenshot scripts, Qt's GTK platform theme for the screenshots in a dark desktop scheme, the Orca
# screen reader with its speech server, and what cpack needs to build
# the Debian package (file and dpkg-shlibdeps) and lintian to check it. Only names that every release
# (Debian 12 and 13) has: libclang-rt-dev, like clang, comes from the release's llvm-defaults and brings
# the runtime of that same clang (14 on Debian 12, 19 on Debian 13).
TALVORA_TEST_PACKAGES=(libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-dev
  clang-format clang-tidy xvfb xauth desktop-file-utils appstream dbus at-spi2-core python3-pyatspi
  xdotool qt6-gtk-platformtheme orca speech-dispatcher file dpkg-dev lintian)

# The Windows check (scripts/windows-check.sh): the mingw-w64 cross compiler, wine to run what it
# builds, and GoogleTest's sources to build for Windows. The same names on Debian 12 and 13.
TALVORA_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine64 googletest)
# The program itself for Windows (scripts/windows-program.sh) on top: Qt's host tools and its source
# unpacker for the Qt kit, NSIS for the installer, zip for the portable archive, and a virtual display
# with a key driver and the clipboard for the walk under wine.
TALVORA_WINDOWS_GUI_PACKAGES=(qt6-base-dev dpkg-dev nsis zip unzip xvfb xauth xdotool xclip)

# The arm64 check (scripts/arm64-check.sh): the aarch64 cross compiler with its C library, qemu-user to
# run what it builds, and GoogleTest's sources to build for arm64.
TALVORA_ARM64_PACKAGES=(g++-aarch64-linux-gnu qemu-user googletest)

missing_packages() {
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || echo "$pkg"
  done
}

install_packages() {
  local missing
  mapfile -t missing < <(missing_packages "$@")
  [ "${#missing[@]}" -eq 0 ] && return 0
  local apt=(env DEBIAN_FRONTEND=noninteractive apt-get)
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
      apt=(sudo env DEBIAN_FRONTEND=noninteractive apt-get)
    else
      echo "These Debian packages are missing: ${missing[*]}" >&2
      echo "Install them as root, then run this command again:" >&2
      echo "  apt-get install -y ${missing[*]}" >&2
      exit 1
    fi
  fi
  echo "Installing: ${missing[*]}"
  "${apt[@]}" update -qq
  "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  case "${1:-test}" in
    run) install_packages "${TALVORA_RUN_PACKAGES[@]}" ;;
    test) install_packages "${TALVORA_RUN_PACKAGES[@]}" "${TALVORA_TEST_PACKAGES[@]}" ;;
    windows) install_packages cmake ninja-build "${TALVORA_WINDOWS_PACKAGES[@]}" ;;
    windows-gui)
      install_packages cmake ninja-build "${TALVORA_WINDOWS_PACKAGES[@]}" \
        "${TALVORA_WINDOWS_GUI_PACKAGES[@]}"
      ;;
    arm64) install_packages cmake ninja-build "${TALVORA_ARM64_PACKAGES[@]}" ;;
    *) echo "usage: $0 [run|test|windows|windows-gui|arm64]" >&2; exit 2 ;;
  esac
fi
