#!/bin/sh
# qtest-under-wine.sh EMULATOR... TEST.exe
# Runs a Qt Test program under wine. Its log does not reach a pipe there, so it is written to a
# file in the test's folder and shown from there, for CTest to keep.
rm -f qtest.log
"$@" -o qtest.log,txt
status=$?
cat qtest.log 2>/dev/null
exit "$status"
