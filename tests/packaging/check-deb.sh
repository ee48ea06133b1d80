#!/usr/bin/env bash
# check-deb.sh BUILD_DIR VERSION
# Checks the Debian package that cpack made in BUILD_DIR as a user's system meets it: lintian finds
# nothing but the overrides the package gives with their reasons; the package holds exactly the
# expected files, modes and owners; every place that names the release names VERSION; and the program
# unpacked from it starts on the offscreen platform and shows its first window.
set -euo pipefail
build=$1
version=$2
deb=$build/talvora_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { echo "FAIL: no package $deb; cpack makes it (cmake --workflow --preset package)" >&2; exit 1; }
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
work=$(mktemp -d)
pid=
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT

echo "--- lintian $deb"
# Any tag at any level fails, but for the overrides, shown (O:) with their reasons. Its own exit status
# would count the overrides it shows. Each release's lintian needs one override that the other's
# does not know or no longer matches, and says so; exactly those two lines are expected:
# - Debian 12 (lintian 2.116) flags "Expresion" in the program, 13 (2.122) no longer does;
# - Debian 13 runs appstreamcli validate-tree, which finds the missing homepage, 12 has no such tag.
lintian --pedantic --display-info --show-overrides --fail-on none "$deb" 2>&1 | tee "$work/lintian" ||
  fail "lintian did not run"
if grep -E '^[EWIPX]: ' "$work/lintian" |
  grep -vxE 'W: talvora: mismatched-override spelling-error-in-binary Expresion Expression \[usr/bin/talvora\] \[usr/share/lintian/overrides/talvora:[0-9]+\]|E: talvora: alien-tag appstream-metadata-validation-failed \[usr/share/lintian/overrides/talvora:[0-9]+\]' |
  grep -q .; then
  fail "lintian reports the package"
fi

echo "--- dpkg-deb --contents"
dpkg-deb --contents "$deb" | tee "$work/contents"
# Mode, owner and path of every file; folders are only checked for their mode and owner.
awk '$1 !~ /^d/ { print $1, $2, $6 }' "$work/contents" >"$work/files"
diff -u - "$work/files" <<'LIST' || fail "the package does not hold exactly the expected files"
-rwxr-xr-x root/root ./usr/bin/talvora
-rw-r--r-- root/root ./usr/share/applications/edu.talvora.Talvora.desktop
-rw-r--r-- root/root ./usr/share/doc/talvora/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/talvora/copyright
-rw-r--r-- root/root ./usr/share/icons/hicolor/48x48/apps/edu.talvora.Talvora.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/edu.talvora.Talvora.svg
-rw-r--r-- root/root ./usr/share/lintian/overrides/talvora
-rw-r--r-- root/root ./usr/share/man/man1/talvora.1.gz
-rw-r--r-- root/root ./usr/share/metainfo/edu.talvora.Talvora.metainfo.xml
LIST
if awk '$1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root")' "$work/contents" | grep .; then
  fail "folders above are not drwxr-xr-x root/root"
fi

# One version everywhere: the control file, the software centre's release and the changelog.
dpkg -x "$deb" "$work/root"
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] ||
  fail "the package's version is $(dpkg-deb --field "$deb" Version), not $version"
grep -q "<release version=\"$version\" date=\"[0-9-]*\">" \
  "$work/root/usr/share/metainfo/edu.talvora.Talvora.metainfo.xml" ||
  fail "the metainfo names no release $version"
zcat "$work/root/usr/share/doc/talvora/changelog.gz" | head -1 | grep -q "^talvora ($version) " ||
  fail "the changelog's latest entry is not $version"
# dpkg-shlibdeps, not a hand-written list, finds the Qt library the program links.
dpkg-deb --field "$deb" Depends | grep -q 'libqt6widgets6 (>= ' ||
  fail "Depends names no versioned libqt6widgets6: $(dpkg-deb --field "$deb" Depends)"
# The font the windows were measured with; without it the captions do not fit their buttons.
dpkg-deb --field "$deb" Depends | tr ',' '\n' | grep -qx ' *fonts-liberation2 *' ||
  fail "Depends does not name fonts-liberation2: $(dpkg-deb --field "$deb" Depends)"

echo "--- the unpacked program's first window"
# A clean environment, so that nothing of the build (library or plugin paths) helps the program. Qt
# logs each widget the first time its accessible interface is asked for; show() asks for the window's,
# so the window's entry, with a geometry and without "invisible", says Qt 6.4 has shown it. Qt 6.8 asks
# before the window is shown, but logs the showing itself (qt.widgets.showhide).
mkdir "$work/run"
(cd "$work/run" && exec env -i PATH=/usr/bin:/bin HOME="$work/run" LANG=C.UTF-8 \
  QT_QPA_PLATFORM=offscreen \
  QT_LOGGING_RULES='qt.accessibility.cache.debug=true;qt.widgets.showhide.debug=true' \
  "$work/root/usr/bin/talvora" 2>"$work/stderr") &
pid=$!
shown='name = "frmCalculador")rect=QRect(-\?[0-9]*,-\?[0-9]* [1-9][0-9]*x[1-9][0-9]*)'
shown+='\|Showing children of calc::frmCalculador(0x[0-9a-f]*, name="frmCalculador")'
for _ in $(seq 100); do
  grep -q "$shown" "$work/stderr" && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
grep "$shown" "$work/stderr" || fail "the calculator window was not shown"
# Shown, the program waits for the user: two seconds later it must still be running.
sleep 2
if kill "$pid" 2>/dev/null; then
  wait "$pid" || true
else
  fail "the program ended by itself"
fi
pid=
if [ "$failures" -ne 0 ]; then
  echo "the program's error output:" >&2
  grep -v '^qt.accessibility.cache\|^qt.widgets.showhide' "$work/stderr" >&2 || true
fi

[ "$failures" -eq 0 ] && echo "package checked: $deb"
[ "$failures" -eq 0 ]
