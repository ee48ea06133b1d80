#!/usr/bin/env bash
# mutants.sh [--seed N] [--count N] [--only PATH_REGEX] [--list]
# Plants single-token faults (relational flips, && and || swapped, binary + and - swapped,
# constants off by one, a dropped call statement) at sites of src/ picked with a fixed seed,
# builds each in a scratch copy of the tree and runs the fast tests (every CTest test without the
# lint, packaging, atspi or screenreader label). Prints each fault's verdict (killed, survived,
# not viable), the score killed / (killed + survived) and the survivors with their diffs. The
# working tree is never modified; the scratch copy and its build stay in build/mutants (or
# MUTANTS_DIR) so that the next run rebuilds only what changed. See --help for the options.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-/work} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-true}
exec python3 "$repo/scripts/mutants.py" "$@"
