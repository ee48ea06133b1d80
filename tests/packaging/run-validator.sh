#!/usr/bin/env bash
# run-validator.sh desktop FILE | metainfo FILE | tree PREFIX
# Runs the freedesktop validator for one installed file (or, for `tree`, the AppStream check of the
# whole installed tree, which also finds the desktop entry that the metainfo launches). Exits 77, which
# CTest reports as skipped, when the validator is not installed. Warnings count as failures: a software
# centre may drop an entry over them.
set -uo pipefail
mode=$1
target=$2
case "$mode" in
  desktop) tool=desktop-file-validate ;;
  metainfo | tree) tool=appstreamcli ;;
  *) echo "usage: $0 desktop|metainfo|tree PATH" >&2; exit 2 ;;
esac
if ! command -v "$tool" >/dev/null 2>&1; then
  echo "$tool is not installed (scripts/deps.sh test installs it); skipping"
  exit 77
fi
[ -e "$target" ] || { echo "FAIL: nothing to validate at $target" >&2; exit 1; }

case "$mode" in
  desktop)
    # It exits 0 on warnings; only hints are acceptable.
    output=$(desktop-file-validate "$target" 2>&1)
    status=$?
    echo "$output"
    if [ "$status" -ne 0 ] || grep -qE ': (error|warning): ' <<<"$output"; then exit 1; fi
    ;;
  metainfo) appstreamcli validate --no-net --strict --explain "$target" ;;
  tree) appstreamcli validate-tree --no-net --strict --explain "$target" ;;
esac
