#!/usr/bin/env bash
# fuzz.sh SECONDS [LIBFUZZER_FLAG ...]
# Runs each libFuzzer target for SECONDS, one after the other, and fails on the first finding
# (crash, broken property, leak, timeout or memory blow-up). Builds the fuzz preset first when
# needed. Each target starts from a fresh temporary copy of its committed corpus, so a run never
# writes into the repository; what a finding leaves behind is kept in a temporary folder that the
# failure names. Extra flags go to every target (such as -max_len=4096). TALVORA_FUZZ_BUILD_DIR
# builds elsewhere than the preset's folder.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"

seconds=${1:?usage: $0 SECONDS [LIBFUZZER_FLAG ...]}
shift
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || { echo "SECONDS must be a positive whole number" >&2; exit 2; }

targets=(fuzz_evaluator fuzz_expression_checks fuzz_record_reader)
build=${TALVORA_FUZZ_BUILD_DIR:-$repo/build/fuzz}
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --target "${targets[@]}"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/talvora-fuzz.XXXXXX")
keep=
cleanup() { [ -n "$keep" ] || rm -rf "$scratch"; }
trap cleanup EXIT

for target in "${targets[@]}"; do
  work="$scratch/$target"
  mkdir -p "$work/corpus" "$work/findings"
  cp -R "fuzz/corpus/$target/." "$work/corpus/"
  echo "=== $target: $seconds s"
  # -timeout makes a hang a finding; -rss_limit_mb a runaway allocation.
  if ! (cd "$work" && "$build/fuzz/$target" "$work/corpus" \
      -dict="$repo/fuzz/$target.dict" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -artifact_prefix="$work/findings/" -print_final_stats=1 "$@" \
      >"$work/log" 2>&1); then
    keep=1
    tail -n 60 "$work/log" >&2
    echo "FAIL: $target found a problem; its input and log are in $work" >&2
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' \
    "$work/log" || true
done
