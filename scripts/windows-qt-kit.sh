#!/usr/bin/env bash
# Makes the Qt 6 for Windows kit that the Windows build of the program links: Debian's own source of
# qt6-base, of the very version this machine's Qt is (its moc, uic and rcc build for the kit, so they
# must match), cross-built with mingw-w64 as shared libraries (so that the Qt DLLs stay replaceable,
# as Qt's LGPL asks), with only what the program uses. Prints the kit's folder on its last line.
#
# The kit goes into a folder named after the Qt version and a digest of the options below, under
# TALVORA_QT_KIT_CACHE (default: $XDG_CACHE_HOME/talvora, or ~/.cache/talvora). A kit that is there
# is reused, not rebuilt. The machine's apt set-up is left as it was: the source comes through a
# source list of this script's own, from the mirror that the machine's apt sources name.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

bash "$repo/scripts/deps.sh" windows-gui >&2

version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
upstream=${version%%+*}
# What the program does not use stays out; the bundled libraries, not the system's (there are none
# for Windows here). OpenGL is left out through its input: FEATURE_opengl=OFF would leave dynamicgl
# on, and the windows platform plugin would not compile.
options=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
  -DINPUT_opengl=no -DFEATURE_accessibility=ON
  -DFEATURE_dbus=OFF -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF -DFEATURE_freetype=OFF
  -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_tabletevent=OFF
  -DFEATURE_system_pcre2=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_png=OFF
)
# The kit's name changes with what it is built from: the options, the compilers and the target's
# set-up (not what the program's own build adds to the toolchain).
digest=$({
  printf '%s\n' "${options[@]}"
  dpkg-query -W -f='${Version}\n' g++-mingw-w64-x86-64-posix
  cat "$repo/cmake/windows-mingw-compilers.cmake"
} | sha256sum | cut -c1-12)
cache=${TALVORA_QT_KIT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/talvora}
kit=$cache/qt-$upstream-mingw-w64-$digest

if [ -f "$kit/lib/cmake/Qt6/Qt6Config.cmake" ]; then
  echo "Qt for Windows kit: reusing $kit" >&2
  echo "$kit"
  exit 0
fi

work=$(mktemp -d "${TMPDIR:-/var/tmp}/talvora-qt-kit.XXXXXX")
# apt downloads as its own user, _apt.
chmod 0755 "$work"
trap 'rm -rf "$work"' EXIT
start=$SECONDS

# A deb-src line for every Debian archive the machine's apt sources name.
apt-get indextargets --format '$(ORIGIN) $(REPO_URI) $(RELEASE) $(COMPONENT)' |
  awk '$1 == "Debian" { print "deb-src " $2 " " $3 " " $4 }' | sort -u >"$work/sources.list"
if [ ! -s "$work/sources.list" ]; then
  . /etc/os-release
  echo "deb-src http://deb.debian.org/debian $VERSION_CODENAME main" >"$work/sources.list"
fi
mkdir -p "$work/lists/partial" "$work/archives/partial"
apt_own=(-o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
  -o "Dir::State::Lists=$work/lists" -o "Dir::Cache::Archives=$work/archives")
apt-get "${apt_own[@]}" update -qq >&2
(cd "$work" && apt-get "${apt_own[@]}" source -qq --download-only "qt6-base=$version" >&2)
dpkg-source -x "$work"/qt6-base_*.dsc "$work/src" >&2
echo "Qt $version source fetched and unpacked in $((SECONDS - start)) s" >&2

cmake -S "$work/src" -B "$work/build" -G Ninja --log-level=ERROR \
  -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/windows-mingw-qt.cmake" -DCMAKE_INSTALL_PREFIX="$kit.partial" \
  "${options[@]}" >"$work/configure.log" 2>&1 || { tail -50 "$work/configure.log" >&2; exit 1; }
echo "configured in $((SECONDS - start)) s" >&2
# At the lowest priority: the kit's build is long, and the machine may be doing other work.
nice -n 19 cmake --build "$work/build" >"$work/build.log" 2>&1 || { tail -50 "$work/build.log" >&2; exit 1; }
rm -rf "$kit.partial"
cmake --install "$work/build" >"$work/install.log" 2>&1 || { tail -20 "$work/install.log" >&2; exit 1; }
# The licences travel with the kit, as they must with what is built from it.
mkdir -p "$kit.partial/share/licenses/qt6-base"
cp -r "$work/src/LICENSES/." "$work/src/debian/copyright" "$kit.partial/share/licenses/qt6-base/"
mv "$kit.partial" "$kit"
echo "Qt for Windows kit built in $((SECONDS - start)) s: $(du -sh "$kit" | cut -f1) in $kit" >&2
echo "$kit"
