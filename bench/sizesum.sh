#!/usr/bin/env bash
# The selection-size summer's folder walk against du -sb on the same generated
# tree (200,000 files in 20,000 folders), both with a warm cache, each timed as a
# whole process, median of three runs taken alternately.
# Last line: sizesum: ratio R (ours X s, du -sb Y s)
set -euo pipefail
. "$(dirname "$0")/lib/build.sh"
bench_build sizesum sizesum_bench
bin="$build/bench/sizesum_bench"

data=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-sizesum.XXXXXX")
trap 'rm -rf "$data"' EXIT
tree="$data/tree"
"$bin" generate "$tree" 20000 200000

seconds() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Warm the cache for both sides.
du -sb "$tree" >/dev/null
"$bin" sum "$tree" >/dev/null 2>&1

ours=() theirs=() total=""
for _ in 1 2 3; do
  t0=$(seconds); out=$("$bin" sum "$tree" 2>/dev/null); t1=$(seconds)
  ours+=("$(elapsed "$t0" "$t1")"); total=${out%% *}
  t0=$(seconds); du -sb "$tree" >/dev/null; t1=$(seconds)
  theirs+=("$(elapsed "$t0" "$t1")")
done

# The same number by another road: every entry that is not a folder.
expected=$(find "$tree" ! -type d -printf '%s\n' | awk '{ s += $1 } END { printf "%.0f", s }')
if [ "$total" != "$expected" ]; then
  echo "sizesum: our total $total differs from the files' sum $expected" >&2
  exit 1
fi
echo "total $total bytes (matches the files' own sizes)"

x=$(median "${ours[@]}"); y=$(median "${theirs[@]}")
r=$(awk -v x="$x" -v y="$y" 'BEGIN { printf "%.3f", (y > 0 ? x / y : 0) }')
echo "sizesum: ratio $r (ours $x s, du -sb $y s)"
