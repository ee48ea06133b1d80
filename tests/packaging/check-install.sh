#!/usr/bin/env bash
# check-install.sh BUILD_DIR PREFIX [DATADIR [BINDIR]]
# Installs the build into an empty PREFIX with `cmake --install` and checks that everything a desktop
# needs is in place and consistent: the program, the menu entry, both icons, the metainfo and the
# copyright file, each naming the others by the same id.
set -euo pipefail
build=$1
prefix=$2
share=$prefix/${3:-share}
bin=$prefix/${4:-bin}
id=edu.talvora.Talvora
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix"

desktop=$share/applications/$id.desktop
metainfo=$share/metainfo/$id.metainfo.xml
png=$share/icons/hicolor/48x48/apps/$id.png
svg=$share/icons/hicolor/scalable/apps/$id.svg
copyright=$share/doc/talvora/copyright
for f in "$desktop" "$metainfo" "$png" "$svg" "$copyright"; do
  [ -s "$f" ] || fail "missing or empty: $f"
done
[ -x "$bin/talvora" ] || fail "the program is not installed as an executable $bin/talvora"
[ "$failures" -eq 0 ] || exit 1

# The desktop entry starts the installed program and shows the installed icon.
key() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(key Exec)" = talvora ] || fail "Exec= is '$(key Exec)', not the installed program talvora"
[ "$(key Icon)" = "$id" ] || fail "Icon= is '$(key Icon)', not the installed icon $id"
[ "$(key Type)" = Application ] || fail "Type= is '$(key Type)'"

# The PNG really is a 48x48 picture: its signature, then width and height in the IHDR chunk.
signature=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
[ "$signature" = 89504e470d0a1a0a ] || fail "$png is not a PNG (signature $signature)"
size=$(od -An -tu1 -j16 -N8 "$png" | awk '{ print ($1*16777216 + $2*65536 + $3*256 + $4) "x" ($5*16777216 + $6*65536 + $7*256 + $8) }')
[ "$size" = 48x48 ] || fail "$png is $size, not 48x48"
grep -q '<svg' "$svg" || fail "$svg holds no <svg> element"

# The metainfo names the same desktop entry and binary, and every placeholder was filled in.
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "the metainfo does not launch $id.desktop"
grep -q '<binary>talvora</binary>' "$metainfo" || fail "the metainfo does not provide the binary talvora"
if grep -n '@[A-Z_]*@' "$metainfo"; then fail "the metainfo keeps unconfigured placeholders"; fi

# The software centre shows the licence that the copyright file grants.
licence=$(sed -n 's|.*<project_license>\(.*\)</project_license>.*|\1|p' "$metainfo")
granted=$(sed -n 's/^License: //p' "$copyright" | head -1)
[ -n "$licence" ] && [ "$licence" = "$granted" ] ||
  fail "the metainfo's licence '$licence' is not the copyright file's '$granted'"

[ "$failures" -eq 0 ] && echo "installed and consistent: $prefix"
[ "$failures" -eq 0 ]
