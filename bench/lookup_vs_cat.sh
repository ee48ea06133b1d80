#!/usr/bin/env bash
# Times record lookups on realistic record files against `cat FILE > /dev/null`, on one warm page
# cache, and prints each one's ratio to cat with its peak resident memory:
# - three keys on a file as the program writes it: a matricula that is absent, the last record's
#   matricula, and "activo", absent as a matricula but the status of most records; with each kernel
#   (the widest the processor has, AVX2, the portable one), read on one thread and with a helper
#   thread reading ahead, and as the program chooses;
# - the check of where the data stops, read from the first byte, as a save makes it on a file it has
#   not seen;
# - the same three keys on a file whose first half looks hand-edited (unquoted fields, and records
#   on one line of quoted fields between commas);
# then compares a durable save on the big file with one on an empty file, and times the first save
# of a run on the big file, which reads it whole, against cat. Commands run in turns
# (cat, then each lookup, round after round) so that a passing load weighs on all alike; the ratios
# use the medians. The files are generated under $TMPDIR (else /tmp) and deleted afterwards. Run it
# under `taskset -c 0` to see the lookups held to one core.
# usage: bench/lookup_vs_cat.sh [BUILD_DIR] [SIZE_MIB] [ROUNDS]
#   BUILD_DIR defaults to build/release (cmake --preset release, then build the targets
#   make_archivo, record_lookup and record_append); SIZE_MIB to 1024; ROUNDS to 9.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=${1:-build/release}
size=${2:-1024}
rounds=${3:-9}
absent=2019-04871   # left out by the generator
last=2027-00001     # beyond the generator's years: only the record appended last has it
other=activo

work=$(mktemp -d "${TMPDIR:-/tmp}/archivo-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
file=$work/archivo.txt
edited=$work/edited.txt
last_record() {
  printf '"%s"\r\n"Luz Vega"\r\n"Calle Mayor 1, Madrid"\r\n"600 000 000"\r\n"activo"\r\n' "$last"
}
"$build/bench/make_archivo" "$file" "$size" "$absent" >/dev/null
"$build/bench/make_archivo" --hand-edited-half "$edited" "$size" "$absent" >/dev/null
last_record >>"$file"
last_record >>"$edited"
sync "$file" "$edited"  # so that no save below pays for writing the generated data out
cat "$file" "$edited" >/dev/null  # warm the page cache

lookup=$build/bench/record_lookup
names=() commands=()
add() {
  names+=("$1")
  shift
  commands+=("$*")
}
# What the widest kernel is on this processor.
widest=portable
grep -qw avx2 /proc/cpuinfo && widest=AVX2
grep -qw avx512vbmi /proc/cpuinfo && widest=AVX-512
add "cat archivo.txt" cat "$file"
for kernel in fast avx2 portable; do
  label=$kernel
  [[ $kernel == fast ]] && label=$widest
  [[ $kernel == avx2 && $widest == portable ]] && label="avx2 (portable)"
  for threads in 1 2; do
    add "$label, $threads thr, absent" "$lookup" "$file" "$absent" "$kernel" 0 "$threads"
    add "$label, $threads thr, last record's" "$lookup" "$file" "$last" "$kernel" 0 "$threads"
    add "$label, $threads thr, \"$other\"" "$lookup" "$file" "$other" "$kernel" 0 "$threads"
  done
done
add "program's choice, absent" "$lookup" "$file" "$absent"
add "program's choice, last record's" "$lookup" "$file" "$last"
add "program's choice, \"$other\"" "$lookup" "$file" "$other"
add "where the data stops (a save)" "$lookup" "$file" --tail fast 0 1
add "cat edited.txt" cat "$edited"
add "edited, absent matricula" "$lookup" "$edited" "$absent"
add "edited, last record's" "$lookup" "$edited" "$last"
add "edited, \"$other\"" "$lookup" "$edited" "$other"

# One run of command i: appends "WALL CPU" (seconds; CPU = user + system) to its sample file.
run() {
  local line
  # shellcheck disable=SC2086  # the command line splits into its words on purpose
  line=$({ TIMEFORMAT='%3R %3U %3S'; time ${commands[$1]} >/dev/null 2>&1; } 2>&1)
  awk '{ printf "%s %.3f\n", $1, $2 + $3 }' <<<"$line" >>"$work/samples.$1"
}
for _ in $(seq "$rounds"); do
  for i in "${!commands[@]}"; do
    run "$i"
  done
done

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "files: $(stat -c %s "$file") and $(stat -c %s "$edited") bytes; medians of $rounds rounds"
echo "load: $(uptime)"
echo "cpu: $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), widest kernel $widest," \
  "cores this run may use: $(nproc)"
printf '%-34s %8s %7s %9s %7s %12s\n' "" "wall" "÷ cat" "CPU" "÷ cat" "peak RSS"
for i in "${!commands[@]}"; do
  wall=$(cut -d' ' -f1 "$work/samples.$i" | median)
  cpu=$(cut -d' ' -f2 "$work/samples.$i" | median)
  if [[ ${names[$i]} == cat* ]]; then
    cat_wall=$wall cat_cpu=$cpu rss=""
    [[ ${names[$i]} == "cat archivo.txt" ]] && file_cat_wall=$wall
  else
    # shellcheck disable=SC2086
    rss=$(${commands[$i]} | sed -n 's/.*peak RSS \([0-9]*\) KiB.*/\1 KiB/p')
  fi
  printf '%-34s %6.3f s %6sx %7.3f s %6sx %12s\n' "${names[$i]}" "$wall" "$(ratio "$wall" "$cat_wall")" \
    "$cpu" "$(ratio "$cpu" "$cat_cpu")" "$rss"
done

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
  "$(ratio "$(awk -v ms="$first" 'BEGIN { print ms / 1000 }')" "$file_cat_wall")" "$file_cat_wall"
