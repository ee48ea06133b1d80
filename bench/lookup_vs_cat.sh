#!/usr/bin/env bash
# Times, on one warm page cache, a lookup of an absent matricula in a realistic record file against
# `cat FILE > /dev/null` and against grep looking for the same line, prints the ratios and the
# lookup's peak resident memory; then compares a durable save on that file with one on an empty
# file, and times the first save of a run on that file, which reads it whole, against cat. The file
# is generated under /tmp and deleted afterwards.
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
sync "$file"  # so that no save below pays for writing the generated data out
cat "$file" >/dev/null  # warm the page cache

# The medians over $runs runs of a command's wall time and of its processor time (user + system),
# in seconds: "WALL CPU". The processor time shows the cost even when other programs share the
# machine.
medians() {
  local walls=() cpus=() line
  for _ in $(seq "$runs"); do
    line=$({ TIMEFORMAT='%3R %3U %3S'; time "$@" >/dev/null 2>&1 || true; } 2>&1)
    walls+=("${line%% *}")
    cpus+=("$(awk '{ printf "%.3f", $2 + $3 }' <<<"$line")")
  done
  local middle=$(((runs + 1) / 2))
  echo "$(printf '%s\n' "${walls[@]}" | sort -n | sed -n "${middle}p")" \
    "$(printf '%s\n' "${cpus[@]}" | sort -n | sed -n "${middle}p")"
}

cat_to_null() { cat "$file" >/dev/null; }
grep_line() { LC_ALL=C grep -F -x -m1 $'"'"$key"$'"\r' "$file"; }

read -r t_cat c_cat <<<"$(medians cat_to_null)"
read -r t_lookup c_lookup <<<"$(medians "$build/bench/record_lookup" "$file" "$key")"
read -r t_parse c_parse <<<"$(medians "$build/bench/record_lookup" "$file" "$key" parse-only)"
read -r t_grep c_grep <<<"$(medians grep_line)"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "file: $(stat -c %s "$file") bytes, absent matricula $key, medians of $runs warm runs"
echo "                          wall     ratio to cat   processor  ratio to cat"
row() { printf '%-24s %6.3f s  %5s x        %6.3f s   %5s x\n' "$1" "$2" "$(ratio "$2" "$t_cat")" \
  "$3" "$(ratio "$3" "$c_cat")"; }
row "cat > /dev/null" "$t_cat" "$c_cat"
row "lookup" "$t_lookup" "$c_lookup"
row "lookup, parser alone" "$t_parse" "$c_parse"
row "grep -F -x -m1" "$t_grep" "$c_grep"
echo "lookup against grep: $(ratio "$t_lookup" "$t_grep") x"
echo "lookup: $("$build/bench/record_lookup" "$file" "$key")"
/usr/bin/time -f 'lookup peak RSS (time -v): %M KiB' "$build/bench/record_lookup" "$file" "$key" >/dev/null

# Saves alternate between the big file and one that starts empty.
saves=$("$build/bench/record_append" 300 "$file" "$work/empty.txt")
big=$(sed -n 1p <<<"$saves")
small=$(sed -n 2p <<<"$saves")
echo "durable save on the $size MiB file:        ${big%% to *}"
echo "durable save on a file that starts empty: ${small%% to *}"
printf 'ratio %s\n' "$(ratio "${big%% *}" "${small%% *}")"
# The first save of a run reads the whole file once to learn whether it ends inside a record.
first=${big##*the first }
first=${first%% ms}
printf 'first save on the %s MiB file: %s ms, %s x cat (%s s)\n' "$size" "$first" \
  "$(ratio "$(awk -v ms="$first" 'BEGIN { print ms / 1000 }')" "$t_cat")" "$t_cat"
