#!/usr/bin/env bash
# Times, on one warm page cache, a lookup of an absent matricula in a realistic record file against
# `cat FILE > /dev/null` and against grep looking for the same line, prints the ratios and the
# lookup's peak resident memory; then compares a durable save on that file with one on an empty
# file. The file is generated under /tmp and deleted afterwards.
# usage: bench/lookup_vs_cat.sh [BUILD_DIR] [SIZE_MIB]
#   BUILD_DIR defaults to build/records-rel, configured with -DCMAKE_BUILD_TYPE=Release
#   -DTALVORA_BUILD_BENCHMARKS=ON -DTALVORA_BUILD_GUI=OFF; SIZE_MIB defaults to 1024.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=${1:-build/records-rel}
size=${2:-1024}
key=2019-04871
runs=5

work=$(mktemp -d /tmp/archivo-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
file=$work/archivo.txt
"$build/bench/make_archivo" "$file" "$size" "$key"
cat "$file" >/dev/null  # warm the page cache

# The median wall time of $runs runs of a command, in seconds.
median() {
  local times=() start end
  for _ in $(seq "$runs"); do
    start=$EPOCHREALTIME
    "$@" >/dev/null || true
    end=$EPOCHREALTIME
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }')")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p"
}

cat_to_null() { cat "$file" >/dev/null; }
grep_line() { LC_ALL=C grep -F -x -m1 $'"'"$key"$'"\r' "$file"; }

t_cat=$(median cat_to_null)
t_lookup=$(median "$build/bench/record_lookup" "$file" "$key")
t_parse=$(median "$build/bench/record_lookup" "$file" "$key" parse-only)
t_grep=$(median grep_line)
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "file: $(stat -c %s "$file") bytes, absent matricula $key, median of $runs warm runs"
printf 'cat > /dev/null           %.3f s\n' "$t_cat"
printf 'lookup                    %.3f s  = %s x cat, %s x grep\n' "$t_lookup" \
  "$(ratio "$t_lookup" "$t_cat")" "$(ratio "$t_lookup" "$t_grep")"
printf 'lookup, parser alone      %.3f s  = %s x cat\n' "$t_parse" "$(ratio "$t_parse" "$t_cat")"
printf 'grep -F -x -m1            %.3f s  = %s x cat\n' "$t_grep" "$(ratio "$t_grep" "$t_cat")"
echo "lookup: $("$build/bench/record_lookup" "$file" "$key")"
/usr/bin/time -f 'lookup peak RSS (time -v): %M KiB' "$build/bench/record_lookup" "$file" "$key" >/dev/null

big=$("$build/bench/record_append" "$file" 200)
small=$("$build/bench/record_append" "$work/empty.txt" 200)
echo "durable save on the $size MiB file: $big"
echo "durable save on an empty file:     $small"
printf 'ratio %s\n' "$(ratio "${big%% *}" "${small%% *}")"
