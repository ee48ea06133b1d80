#!/usr/bin/env bash
# The cores on Windows: cross-builds the calculator and records cores and their GoogleTest programs
# with mingw-w64 (no Qt), then runs them through CTest under wine (`windows` workflow preset). The
# first run also makes the build's own wine prefix. Installs what is missing first.
exec bash "$(dirname "${BASH_SOURCE[0]}")/cross-check.sh" windows
