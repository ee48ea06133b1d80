#!/usr/bin/env bash
# The cores on 64-bit ARM Linux, where the record reader takes its portable kernel: cross-builds the
# calculator and records cores and their GoogleTest programs with Debian's aarch64 cross compiler
# (no Qt), then runs them through CTest under qemu-user (`arm64` workflow preset). Installs what is
# missing first.
exec bash "$(dirname "${BASH_SOURCE[0]}")/cross-check.sh" arm64
